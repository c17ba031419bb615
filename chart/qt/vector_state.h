#pragma once
// Qt's raster engine runs 256-bit vector code and may leave the upper
// halves of the vector registers in use. Until they are cleared, every
// plain SSE instruction afterwards pays for a false dependency on them,
// which makes the chart's own drawing loops (pure scalar floating point)
// several times slower. The canvas clears them after its calls into Qt.

namespace chart::qt {

void ClearVectorUpperState();

// Clears the state when the scope ends.
class VectorStateGuard {
public:
    VectorStateGuard() = default;
    ~VectorStateGuard() { ClearVectorUpperState(); }
    VectorStateGuard(const VectorStateGuard&) = delete;
    VectorStateGuard& operator=(const VectorStateGuard&) = delete;
};

}  // namespace chart::qt
