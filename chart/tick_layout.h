#pragma once
// The value labels of an axis, laid out without a canvas: from the range, the
// axis length and the size of a label, the step between the labels and the
// values labelled.

#include <functional>
#include <vector>

namespace chart {

struct TTickRequest {
    // The range labelled; on a logarithmic axis both ends above zero.
    double Minimum = 0;
    double Maximum = 0;
    // The axis length in pixels.
    int LengthPixels = 0;
    // The pixels the label of a value takes along the axis (none when not
    // set). A linear axis asks it for its two ends (its labels are spaced for
    // the wider), a logarithmic one for every value it would label.
    std::function<int(double)> LabelSize;
    // The smallest step (0: none).
    double Increment = 0;
    // The room between two labels, in percent of a label's size (0: a linear
    // axis keeps its smallest step, logarithmic labels may touch).
    int LabelsSeparation = 10;
    // Labels at whole multiples of the step instead of down from the maximum.
    bool RoundFirstLabel = true;
    bool Logarithmic = false;
    int LogarithmicBase = 10;
};

struct TTickLayout {
    // The distance between the labels of a linear axis, at least 1e-12 (0 on
    // a logarithmic axis, whose labels lie at powers of its base).
    double Step = 0;
    // The values labelled, top down.
    std::vector<double> Values;
};

TTickLayout LayoutTicks(const TTickRequest& request);

// The label step after `step`: 1, 2, 5, 10, 20, 50, ... (and 0.5, 0.2, 0.1, ...).
double NextLabelStep(double step);

}  // namespace chart
