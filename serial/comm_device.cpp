#include "serial/comm_device.h"

#include "serial/os.h"
#include "systext/system_text.h"

namespace serial {

std::string CommDevice::ErrorText(int code) const
{
    return systext::SystemErrorText(code);
}

void CommDevice::FinishOutput(std::uint32_t) {}

bool CommDevice::IsLineLost(int) const
{
    return false;
}

}  // namespace serial
