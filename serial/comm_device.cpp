#include "serial/comm_device.h"

#include "serial/os.h"

namespace serial {

std::string CommDevice::ErrorText(int code) const
{
    return SystemErrorText(code);
}

void CommDevice::FinishOutput(std::uint32_t) {}

bool CommDevice::IsLineLost(int) const
{
    return false;
}

}  // namespace serial
