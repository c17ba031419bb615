// The settings of the serial component: the line settings, the settings objects
// (handshakes, special characters, and queue sizes with time-outs), each of which
// reports its changes to the owning component, and the device control block they give.
#pragma once

#include <cstdint>
#include <functional>

#include "serial/comm_types.h"

namespace serial {

enum TVaBaudrate {
    brUser,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TVaParity { paNone, paOdd, paEven, paMark, paSpace };
enum TVaDatabits { db4, db5, db6, db7, db8 };
enum TVaStopbits { sb1, sb15, sb2 };
enum TVaCommOption { coErrorChar, coNullStrip };

// Set of TVaCommOption: bit i for member i.
using TVaCommOptions = std::uint8_t;

constexpr TVaCommOptions OptionBit(TVaCommOption o)
{
    return static_cast<TVaCommOptions>(1u << o);
}

std::uint32_t BaudrateValue(TVaBaudrate rate);  // 110 ... 256000; 0 for brUser

enum TVaControlDtr { dtrDisabled, dtrEnabled, dtrHandshake };
enum TVaControlRts { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };

// Base of the settings objects: an update counter and the owner's change handler.
class TVaPersistent {
public:
    virtual ~TVaPersistent() = default;
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void Changed();
    std::function<void(TVaPersistent& sender)> OnChange;

protected:
    TVaPersistent() = default;
    TVaPersistent(const TVaPersistent&) = delete;
    TVaPersistent& operator=(const TVaPersistent&) = delete;

private:
    std::int32_t updateCount_ = 0;
};

class TVaFlowControl : public TVaPersistent {
public:
    bool OutCtsFlow() const { return outCtsFlow_; }
    bool OutDsrFlow() const { return outDsrFlow_; }
    TVaControlDtr ControlDtr() const { return controlDtr_; }
    TVaControlRts ControlRts() const { return controlRts_; }
    bool XonXoffOut() const { return xonXoffOut_; }
    bool XonXoffIn() const { return xonXoffIn_; }
    bool DsrSensitivity() const { return dsrSensitivity_; }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }

    void SetOutCtsFlow(bool value) { Store(outCtsFlow_, value); }
    void SetOutDsrFlow(bool value) { Store(outDsrFlow_, value); }
    void SetControlDtr(TVaControlDtr value) { Store(controlDtr_, value); }
    void SetControlRts(TVaControlRts value) { Store(controlRts_, value); }
    void SetXonXoffOut(bool value) { Store(xonXoffOut_, value); }
    void SetXonXoffIn(bool value) { Store(xonXoffIn_, value); }
    void SetDsrSensitivity(bool value) { Store(dsrSensitivity_, value); }
    void SetTxContinueOnXoff(bool value) { Store(txContinueOnXoff_, value); }

    // Copies every setting through the setters; the owner hears one change.
    void Assign(const TVaFlowControl& source);

private:
    template <typename T>
    void Store(T& field, T value)
    {
        if (field != value) {
            field = value;
            Changed();
        }
    }
    bool outCtsFlow_ = false;
    bool outDsrFlow_ = false;
    TVaControlDtr controlDtr_ = dtrDisabled;
    TVaControlRts controlRts_ = rtsDisabled;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
};

class TVaEventChars : public TVaPersistent {
public:
    char XonChar() const { return chars_[0]; }
    char XoffChar() const { return chars_[1]; }
    char ErrorChar() const { return chars_[2]; }
    char EventChar() const { return chars_[3]; }
    char EofChar() const { return chars_[4]; }

    // Every write notifies, also of an unchanged value.
    void SetXonChar(char value) { SetChar(1, value); }
    void SetXoffChar(char value) { SetChar(2, value); }
    void SetErrorChar(char value) { SetChar(3, value); }
    void SetEventChar(char value) { SetChar(4, value); }
    void SetEofChar(char value) { SetChar(5, value); }
    // The shared indexed setter, index 1..5 in the order above.
    void SetChar(int index, char value);

    void Assign(const TVaEventChars& source);

private:
    char chars_[5] = {17, 19, 0, 0, 0};
};

class TVaBuffers : public TVaPersistent {
public:
    std::int32_t ReadSize() const { return readSize_; }
    std::int32_t WriteSize() const { return writeSize_; }
    std::int32_t ReadTimeout() const { return readTimeout_; }
    std::int32_t WriteTimeout() const { return writeTimeout_; }

    void SetReadSize(std::int32_t value);
    void SetWriteSize(std::int32_t value);
    // Time-outs take effect at their next use; no notification.
    void SetReadTimeout(std::int32_t value) { readTimeout_ = Clamp(value); }
    void SetWriteTimeout(std::int32_t value) { writeTimeout_ = Clamp(value); }

    // Copies the four values directly; the owner hears one change.
    void Assign(const TVaBuffers& source);

private:
    // The property range is 0..2147483647.
    static std::int32_t Clamp(std::int32_t v) { return v < 0 ? 0 : v; }
    std::int32_t readSize_ = 4096;
    std::int32_t writeSize_ = 2048;
    std::int32_t readTimeout_ = 1000;
    std::int32_t writeTimeout_ = 1000;
};

// The component's own settings that go into the device control block.
struct DcbSettings {
    TVaBaudrate baudrate;
    std::int32_t userBaudrate;  // the rate when baudrate is brUser
    TVaParity parity;
    bool parityCheck;
    TVaDatabits databits;
    TVaStopbits stopbits;
    TVaCommOptions options;
    std::int32_t readSize;  // Buffers.ReadSize: gives the XON/XOFF limits
};

// The device control block the settings give.
Dcb DcbFromSettings(const DcbSettings& line, const TVaEventChars& chars, const TVaFlowControl& fc);

}  // namespace serial
