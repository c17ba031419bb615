#include "serial/os.h"

#include <windows.h>

namespace serial {

unsigned CurrentUserId()
{
    return 0;
}

std::uint32_t TickCount()
{
    return static_cast<std::uint32_t>(::GetTickCount());
}

std::uintptr_t CurrentThreadToken()
{
    HANDLE self = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self,
                      THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION, FALSE, 0);
    return reinterpret_cast<std::uintptr_t>(self);
}

void ReleaseThreadToken(std::uintptr_t token)
{
    if (token)
        ::CloseHandle(reinterpret_cast<HANDLE>(token));
}

void SetNativeThreadPriority(std::uintptr_t token, int windowsPriority)
{
    if (token)
        ::SetThreadPriority(reinterpret_cast<HANDLE>(token), windowsPriority);
}

}  // namespace serial
