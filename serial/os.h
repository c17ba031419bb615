// Small operating-system services the component needs besides the device itself.
// One implementation file per OS (os_posix.cpp, os_win32.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace serial {

// Numeric id of the user running the program (0 where the OS has none).
unsigned CurrentUserId();

// Milliseconds since an arbitrary start, wrapping at 2^32 (the Windows tick count).
std::uint32_t TickCount();

// A reference to the calling thread that another thread may use to change its
// priority; released with ReleaseThreadToken.
std::uintptr_t CurrentThreadToken();
void ReleaseThreadToken(std::uintptr_t token);

// Applies a Windows-style thread priority (-15, -2, -1, 0, 1, 2, 15) to a thread
// as far as the OS allows an unprivileged process; failures are ignored.
void SetNativeThreadPriority(std::uintptr_t token, int windowsPriority);

}  // namespace serial
