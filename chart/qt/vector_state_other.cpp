#include "chart/qt/vector_state.h"

namespace chart::qt {

// No such register state on this processor or compiler.
void ClearVectorUpperState() {}

}  // namespace chart::qt
