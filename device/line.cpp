#include "device/line.h"

namespace device {

void ApplyLineSettings(serial::TVaComm& comm)
{
    static_assert(kLineBaud == 38400, "the baud rate below is the enum's 38400");
    comm.SetBaudrate(serial::br38400);
    comm.SetDatabits(serial::db8);
    comm.SetParity(serial::paOdd);
    comm.SetParityCheck(true);
    comm.SetStopbits(serial::sb1);
    serial::TVaFlowControl& flow = comm.FlowControl();
    flow.SetOutCtsFlow(false);
    flow.SetOutDsrFlow(false);
    flow.SetControlDtr(serial::dtrDisabled);
    flow.SetControlRts(serial::rtsEnabled);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
    flow.SetDsrSensitivity(false);
    flow.SetTxContinueOnXoff(false);
    comm.Buffers().SetReadSize(4096);
    comm.Buffers().SetWriteSize(2048);
    comm.Buffers().SetReadTimeout(1);
    comm.Buffers().SetWriteTimeout(1);
}

}  // namespace device
