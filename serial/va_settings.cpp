#include "serial/va_settings.h"

#include <algorithm>

namespace serial {

std::uint32_t BaudrateValue(TVaBaudrate rate)
{
    static constexpr std::uint32_t kRates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                               14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return rate >= brUser && rate <= br256000 ? kRates[rate] : 0;
}

void TVaPersistent::EndUpdate()
{
    if (updateCount_ > 0)
        --updateCount_;
    Changed();
}

void TVaPersistent::Changed()
{
    if (updateCount_ == 0 && OnChange)
        OnChange(*this);
}

void TVaFlowControl::Assign(const TVaFlowControl& source)
{
    BeginUpdate();
    try {
        SetOutCtsFlow(source.OutCtsFlow());
        SetOutDsrFlow(source.OutDsrFlow());
        SetControlDtr(source.ControlDtr());
        SetControlRts(source.ControlRts());
        SetXonXoffOut(source.XonXoffOut());
        SetXonXoffIn(source.XonXoffIn());
        SetDsrSensitivity(source.DsrSensitivity());
        SetTxContinueOnXoff(source.TxContinueOnXoff());
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TVaEventChars::SetChar(int index, char value)
{
    if (index < 1 || index > 5)
        return;
    chars_[index - 1] = value;
    Changed();
}

void TVaEventChars::Assign(const TVaEventChars& source)
{
    BeginUpdate();
    try {
        for (int i = 1; i <= 5; ++i)
            SetChar(i, source.chars_[i - 1]);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TVaBuffers::SetReadSize(std::int32_t value)
{
    value = Clamp(value);
    if (readSize_ != value) {
        readSize_ = value;
        Changed();
    }
}

void TVaBuffers::SetWriteSize(std::int32_t value)
{
    value = Clamp(value);
    if (writeSize_ != value) {
        writeSize_ = value;
        Changed();
    }
}

void TVaBuffers::Assign(const TVaBuffers& source)
{
    BeginUpdate();
    readSize_ = source.readSize_;
    writeSize_ = source.writeSize_;
    readTimeout_ = source.readTimeout_;
    writeTimeout_ = source.writeTimeout_;
    EndUpdate();
}

Dcb DcbFromSettings(const DcbSettings& line, const TVaEventChars& chars, const TVaFlowControl& fc)
{
    Dcb dcb{};
    dcb.DCBlength = sizeof(Dcb);
    dcb.BaudRate =
        line.baudrate == brUser ? static_cast<std::uint32_t>(line.userBaudrate) : BaudrateValue(line.baudrate);
    dcb.Parity = static_cast<std::uint8_t>(line.parity);
    dcb.StopBits = static_cast<std::uint8_t>(line.stopbits);
    dcb.ByteSize = static_cast<std::uint8_t>(4 + line.databits);
    dcb.XonChar = chars.XonChar();
    dcb.XoffChar = chars.XoffChar();
    dcb.ErrorChar = chars.ErrorChar();
    dcb.EofChar = chars.EofChar();
    dcb.EvtChar = chars.EventChar();
    const std::uint32_t lim = std::min<std::uint32_t>(static_cast<std::uint32_t>(line.readSize) >> 2, 1024);
    dcb.XonLim = static_cast<std::uint16_t>(lim);
    dcb.XoffLim = static_cast<std::uint16_t>(lim);
    std::uint32_t flags = DCB_fBinary;
    if (line.parityCheck)
        flags |= DCB_fParity;
    if (fc.OutCtsFlow())
        flags |= DCB_fOutxCtsFlow;
    if (fc.OutDsrFlow())
        flags |= DCB_fOutxDsrFlow;
    if (fc.XonXoffOut())
        flags |= DCB_fOutX;
    if (fc.XonXoffIn())
        flags |= DCB_fInX;
    switch (fc.ControlDtr()) {
    case dtrDisabled:
        break;
    case dtrEnabled:
        flags |= DCB_DtrControlEnable;
        break;
    case dtrHandshake:
        flags |= DCB_DtrControlHandshake;
        break;
    }
    switch (fc.ControlRts()) {
    case rtsDisabled:
        break;
    case rtsEnabled:
        flags |= DCB_RtsControlEnable;
        break;
    case rtsHandshake:
        flags |= DCB_RtsControlHandshake;
        break;
    case rtsToggle:
        flags |= DCB_RtsControlToggle;
        break;
    }
    if (fc.DsrSensitivity())
        flags |= DCB_fDsrSensitivity;
    if (fc.TxContinueOnXoff())
        flags |= DCB_fTXContinueOnXoff;
    if (line.options & OptionBit(coErrorChar))
        flags |= DCB_fErrorChar;
    if (line.options & OptionBit(coNullStrip))
        flags |= DCB_fNull;
    dcb.Flags = flags;
    return dcb;
}

}  // namespace serial
