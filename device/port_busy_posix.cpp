#include <cerrno>

#include "device/port_busy.h"

namespace device {

// The serial component locks the device it opens: a second opening gets EBUSY.
bool IsPortBusyError(int code)
{
    return code == EBUSY;
}

}  // namespace device
