// Windows: the system's own platform, the one that has its fonts.
#include "protocol/qt/standalone_platform.h"

namespace protocol::paper {

void ChooseStandalonePlatform() {}

}  // namespace protocol::paper
