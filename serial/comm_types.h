// The device-level records the component exchanges with its device backend: the
// device control block, time-outs, queue status, and the event and error bits. The
// layouts and values are those of the Windows communications API, so the Windows
// backend passes them through and the POSIX backend translates them.
#pragma once

#include <cstdint>

namespace serial {

// Line events (WaitCommEvent / SetCommMask).
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;
inline constexpr std::uint32_t EV_PERR = 0x0200;
inline constexpr std::uint32_t EV_RX80FULL = 0x0400;
inline constexpr std::uint32_t EV_EVENT1 = 0x0800;
inline constexpr std::uint32_t EV_EVENT2 = 0x1000;

// Line errors (ClearCommError).
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;

// DCB flag word bits.
inline constexpr std::uint32_t DCB_fBinary = 1;
inline constexpr std::uint32_t DCB_fParity = 2;
inline constexpr std::uint32_t DCB_fOutxCtsFlow = 4;
inline constexpr std::uint32_t DCB_fOutxDsrFlow = 8;
inline constexpr std::uint32_t DCB_DtrControlMask = 0x30;
inline constexpr std::uint32_t DCB_DtrControlEnable = 0x10;
inline constexpr std::uint32_t DCB_DtrControlHandshake = 0x20;
inline constexpr std::uint32_t DCB_fDsrSensitivity = 64;
inline constexpr std::uint32_t DCB_fTXContinueOnXoff = 128;
inline constexpr std::uint32_t DCB_fOutX = 256;
inline constexpr std::uint32_t DCB_fInX = 512;
inline constexpr std::uint32_t DCB_fErrorChar = 1024;
inline constexpr std::uint32_t DCB_fNull = 2048;
inline constexpr std::uint32_t DCB_RtsControlMask = 0x3000;
inline constexpr std::uint32_t DCB_RtsControlEnable = 0x1000;
inline constexpr std::uint32_t DCB_RtsControlHandshake = 0x2000;
inline constexpr std::uint32_t DCB_RtsControlToggle = 0x3000;
inline constexpr std::uint32_t DCB_fAbortOnError = 0x4000;

inline constexpr std::uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
inline constexpr std::uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

inline constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// The 28-byte device control block, field for field.
struct Dcb {
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;
};
static_assert(sizeof(Dcb) == 28);

struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// COMSTAT: the hold and end-of-file flag word, then the queue counts.
struct ComStat {
    std::uint32_t Flags = 0;
    std::uint32_t cbInQue = 0;
    std::uint32_t cbOutQue = 0;
};

// The status record of TVaCustomComm::GetStatus: line errors, then COMSTAT.
struct TVaCommStatus {
    std::uint32_t Errors = 0;
    ComStat Stat;
};
static_assert(sizeof(TVaCommStatus) == 16);

}  // namespace serial
