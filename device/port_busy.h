#pragma once
// Whether a system error code of opening a port means that another program holds it.

namespace device {

bool IsPortBusyError(int code);

}  // namespace device
