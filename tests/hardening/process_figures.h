// What the process holds right now, from /proc/self: resident memory, open
// descriptors, threads and the CPU time used, for soak and fault tests.
#pragma once

#include <time.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace hardening {

inline long ResidentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

inline int CountEntries(const char* folder)
{
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

// The iterator's own descriptor is closed again before the count is returned,
// but is counted while the folder is read.
inline int OpenDescriptors()
{
    return CountEntries("/proc/self/fd");
}
inline int Threads()
{
    return CountEntries("/proc/self/task");
}

// Starts and joins one thread, so that helpers a runtime starts with the
// first thread of a process (a sanitizer's background thread) are already
// there when a test takes its baseline of threads. A joined thread can still
// be listed under /proc for a moment after the join returns, so this also
// waits until the count has held still for 20 ms (at most 1 s).
inline void SettleRuntimeThreads()
{
    std::thread([] {}).join();
    int last = Threads();
    for (int polls = 0, still = 0; still < 4 && polls < 200; ++polls) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const int now = Threads();
        still = now == last ? still + 1 : 0;
        last = now;
    }
}

inline double CpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace hardening
