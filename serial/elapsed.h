// Time on the tick count (TickCount(), os.h), which wraps at 2^32 ms (about 49.7 days).
// The tick is a parameter, so the wrap can be tested.
#pragma once

#include <cstdint>

namespace serial {

// Milliseconds from tick `start` to tick `now`, also when the tick wrapped in between.
constexpr std::uint32_t ElapsedSince(std::uint32_t start, std::uint32_t now)
{
    return now - start;  // unsigned: modulo 2^32
}

// What is left at tick `now` of `timeoutMs` counted from tick `start`; 0 once it has run out.
constexpr std::uint32_t TimeLeft(std::uint32_t start, std::uint32_t now, std::uint32_t timeoutMs)
{
    const std::uint32_t elapsed = ElapsedSince(start, now);
    return elapsed < timeoutMs ? timeoutMs - elapsed : 0;
}

}  // namespace serial
