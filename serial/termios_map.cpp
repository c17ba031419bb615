#include "serial/termios_map.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace serial {

std::uint32_t StandardBaudCode(std::uint32_t rate)
{
    struct Row {
        std::uint32_t rate, code;
    };
    static constexpr Row kRows[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000}};
    for (const Row& row : kRows) {
        if (row.rate == rate)
            return row.code;
    }
    return 0;
}

TermiosPlan MapDcbToTermios(const Dcb& dcb)
{
    TermiosPlan plan;
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS) {
        plan.error = EINVAL;
        return plan;
    }
    const std::uint32_t flags = dcb.Flags;

    // Breaks and bytes received in error are marked (\377 \0 x) so that the backend
    // can count them and keep them out of the data; INPCK makes parity errors count.
    plan.iflag = PARMRK;
    if (flags & DCB_fParity)
        plan.iflag |= INPCK;
    if (flags & DCB_fOutX)
        plan.iflag |= IXON;
    if (flags & DCB_fInX)
        plan.iflag |= IXOFF;

    plan.cflag = CREAD | CLOCAL;
    static constexpr std::uint32_t kSizes[] = {CS5, CS6, CS7, CS8};
    plan.cflag |= kSizes[dcb.ByteSize - 5];
    // Linux has one stop-bit flag; with 5 data bits a UART sends 1.5 stop bits for it.
    if (dcb.StopBits != ONESTOPBIT)
        plan.cflag |= CSTOPB;
    switch (dcb.Parity) {
    case ODDPARITY:
        plan.cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        plan.cflag |= PARENB;
        break;
    case MARKPARITY:
        plan.cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        plan.cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    const std::uint32_t rts = flags & DCB_RtsControlMask;
    // One kernel flag covers both directions of the RTS/CTS handshake.
    if ((flags & DCB_fOutxCtsFlow) || rts == DCB_RtsControlHandshake)
        plan.cflag |= CRTSCTS;

    plan.speed = dcb.BaudRate;
    const std::uint32_t code = StandardBaudCode(dcb.BaudRate);
    plan.customSpeed = code == 0;
    plan.cflag |= plan.customSpeed ? BOTHER : code;

    plan.vstart = static_cast<std::uint8_t>(dcb.XonChar);
    plan.vstop = static_cast<std::uint8_t>(dcb.XoffChar);

    const std::uint32_t dtr = flags & DCB_DtrControlMask;
    if (dtr == DCB_DtrControlEnable || dtr == DCB_DtrControlHandshake) {
        plan.modemSet |= TIOCM_DTR;
    } else {
        plan.modemClear |= TIOCM_DTR;
    }
    if (rts == DCB_RtsControlEnable || rts == DCB_RtsControlHandshake) {
        plan.modemSet |= TIOCM_RTS;
    } else {
        plan.modemClear |= TIOCM_RTS;
    }

    plan.ignoredFlags = flags & (DCB_fOutxDsrFlow | DCB_fDsrSensitivity | DCB_fTXContinueOnXoff | DCB_fAbortOnError);
    if (dtr == DCB_DtrControlHandshake)
        plan.ignoredFlags |= DCB_DtrControlHandshake;
    if (rts == DCB_RtsControlToggle)
        plan.ignoredFlags |= DCB_RtsControlToggle;

    plan.input.parityCheck = (flags & DCB_fParity) != 0;
    plan.input.replaceErrors = (flags & DCB_fErrorChar) != 0;
    plan.input.errorChar = static_cast<std::uint8_t>(dcb.ErrorChar);
    plan.input.nullStrip = (flags & DCB_fNull) != 0;
    plan.input.eventChar = static_cast<std::uint8_t>(dcb.EvtChar);
    plan.input.inputFlowControl = (plan.cflag & CRTSCTS) || (flags & DCB_fInX);
    return plan;
}

}  // namespace serial
