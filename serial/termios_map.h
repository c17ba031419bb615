// Translation of a device control block into Linux termios settings (termios2, so
// any bit rate can be set), modem-line changes and the receive-side work that the
// tty driver cannot do and the backend does itself.
#pragma once

#include <cstdint>

#include "serial/comm_types.h"

namespace serial {

// What the backend does with received bytes (see InputFilter).
struct InputOptions {
    bool parityCheck = false;    // marked errors are parity errors (else framing errors)
    bool replaceErrors = false;  // a byte received in error becomes errorChar (else kept as received)
    std::uint8_t errorChar = 0;
    bool nullStrip = false;         // NUL bytes are dropped
    std::uint8_t eventChar = 0;     // raises EV_RXFLAG
    bool inputFlowControl = false;  // a full input queue holds bytes back instead of dropping them
};

struct TermiosPlan {
    int error = 0;  // EINVAL for a setting the line cannot take; the rest is then unset
    std::uint32_t iflag = 0, oflag = 0, cflag = 0, lflag = 0;
    std::uint8_t vstart = 0, vstop = 0, vmin = 0, vtime = 0;
    std::uint32_t speed = 0;         // bits per second, both directions
    bool customSpeed = false;        // BOTHER: the rate has no Bnnn code
    int modemSet = 0;                // TIOCM_ bits to raise
    int modemClear = 0;              // TIOCM_ bits to drop
    std::uint32_t ignoredFlags = 0;  // DCB flag bits with no termios equivalent
    InputOptions input;
};

TermiosPlan MapDcbToTermios(const Dcb& dcb);

// The Bnnn code of a standard rate, or 0 when the rate needs BOTHER.
std::uint32_t StandardBaudCode(std::uint32_t rate);

}  // namespace serial
