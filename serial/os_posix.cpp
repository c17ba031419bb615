#include "serial/os.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <ctime>

namespace serial {

unsigned CurrentUserId()
{
    return static_cast<unsigned>(::getuid());
}

std::uint32_t TickCount()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::uintptr_t CurrentThreadToken()
{
    return static_cast<std::uintptr_t>(::pthread_self());
}

void ReleaseThreadToken(std::uintptr_t) {}

void SetNativeThreadPriority(std::uintptr_t token, int windowsPriority)
{
    // Under SCHED_OTHER an unprivileged process cannot raise priorities; only the
    // idle class is reachable, so the time-critical and raised levels stay normal.
    sched_param param{};
    const int policy = windowsPriority <= -15 ? SCHED_IDLE : SCHED_OTHER;
    ::pthread_setschedparam(static_cast<pthread_t>(token), policy, &param);
}

}  // namespace serial
