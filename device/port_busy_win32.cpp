#include <windows.h>

#include "device/port_busy.h"

namespace device {

// A COM port is opened for exclusive use: another opening is refused.
bool IsPortBusyError(int code)
{
    return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
}

}  // namespace device
