#pragma once
// The meter's line: the settings of the window's port and how long a byte
// takes on it. Everything that talks to the meter (the window, the memory
// download, the stand-in, tests and benchmarks) takes them from here.

#include "serial/va_comm.h"

namespace device {

inline constexpr int kLineBaud = 38400;
inline constexpr int kLineBitsPerByte = 11;  // start, 8 data, parity, stop
inline constexpr double kLineSecondsPerByte = static_cast<double>(kLineBitsPerByte) / kLineBaud;

// 38400 baud, 8 data bits, odd parity with checking, 1 stop bit, RTS on, DTR
// off, no handshake of any kind, queues of 4096 (input) and 2048 (output)
// bytes, read and write time-outs of 1 ms. The port (number, device name) is
// left as it is.
void ApplyLineSettings(serial::TVaComm& comm);

}  // namespace device
