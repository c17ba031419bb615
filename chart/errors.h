#pragma once
// Exceptions raised by the chart engine.

#include <stdexcept>
#include <string>

namespace chart {

// An index outside a list; the message names the index.
class EListError : public std::out_of_range {
public:
    explicit EListError(int index)
        : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")"), index_(index)
    {
    }
    int Index() const { return index_; }

private:
    int index_;
};

// Contradictory axis limits.
class AxisException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace chart
