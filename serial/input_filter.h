// Turns the byte stream of a tty in PARMRK mode into received data, line-error bits
// and events: "\377\377" is a data byte 0xFF, "\377\0\0" a break (delivered as a NUL),
// "\377\0 x" a byte x received in error (delivered as x, or as the error character).
// Sequences may be split across reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "serial/termios_map.h"

namespace serial {

class InputFilter {
public:
    struct Result {
        std::uint32_t errors = 0;  // CE_ bits
        std::uint32_t events = 0;  // EV_RXFLAG, EV_BREAK
        int marks = 0;             // marked sequences seen
    };
    void Configure(const InputOptions& options) { options_ = options; }
    // Appends the data bytes of `raw` to `out` and adds what it found to `result`.
    void Feed(const std::uint8_t* raw, std::size_t n, std::vector<std::uint8_t>& out, Result& result);

private:
    void Emit(std::uint8_t c, std::vector<std::uint8_t>& out, Result& result) const;
    InputOptions options_;
    int state_ = 0;  // 0 plain, 1 after \377, 2 after \377 \0
};

}  // namespace serial
