// Serial component figures on a pseudo-terminal pair:
//  1. an open port with the main window's settings on an idle line: CPU time used and
//     wake-ups (context switches) of the component's threads over the given duration;
//  2. latency from the peer writing the last byte of a burst to OnRxChar on the main
//     thread.
// Usage: serial_bench [idle-seconds (default 10)] [latency-rounds (default 200)]
#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "device/line.h"
#include "serial/va_comm.h"

namespace {

using Clock = std::chrono::steady_clock;

// Context switches of every thread of the process, by thread id.
std::map<int, long> ThreadSwitches()
{
    std::map<int, long> out;
    DIR* dir = ::opendir("/proc/self/task");
    if (!dir)
        return out;
    while (dirent* e = ::readdir(dir)) {
        const int tid = std::atoi(e->d_name);
        if (tid <= 0)
            continue;
        std::ifstream status("/proc/self/task/" + std::string(e->d_name) + "/status");
        long total = 0;
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                total += std::atol(line.substr(line.find(':') + 1).c_str());
            }
        }
        out[tid] = total;
    }
    ::closedir(dir);
    return out;
}

double CpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    const double idleSeconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 200;

    int master = -1, slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }

    serial::EventLoopDispatcher loop;
    serial::TVaComm comm(loop);
    comm.SetDeviceName(name);
    device::ApplyLineSettings(comm);
    Clock::time_point rxAt{};
    bool rx = false;
    comm.OnRxChar = [&](serial::TVaCustomComm&, std::int32_t) {
        if (!rx)
            rxAt = Clock::now();
        rx = true;
    };
    comm.Open();
    const int mainTid = static_cast<int>(::gettid());

    // Let the threads settle into their waits.
    loop.RunFor(std::chrono::milliseconds(200));
    const auto before = ThreadSwitches();
    const double cpu0 = CpuSeconds();
    loop.RunFor(std::chrono::milliseconds(static_cast<long>(idleSeconds * 1000)));
    const double cpu1 = CpuSeconds();
    const auto after = ThreadSwitches();
    long workerWakeups = 0;
    for (const auto& [tid, n] : after) {
        if (tid == mainTid)
            continue;
        const auto it = before.find(tid);
        workerWakeups += n - (it == before.end() ? 0 : it->second);
    }
    std::printf("idle port, %.1f s: CPU time %.3f ms, wake-ups of the component's threads %ld\n", idleSeconds,
                (cpu1 - cpu0) * 1e3, workerWakeups);

    std::vector<double> latencies;
    std::vector<std::uint8_t> burst(100, 0x5A);
    std::vector<std::uint8_t> sink(820);
    for (int i = 0; i < rounds; ++i) {
        rx = false;
        if (::write(master, burst.data(), burst.size()) != static_cast<ssize_t>(burst.size()))
            break;
        const Clock::time_point sent = Clock::now();
        if (!loop.RunUntil([&] { return rx; }, std::chrono::milliseconds(2000))) {
            std::printf("round %d: no OnRxChar\n", i);
            return 1;
        }
        latencies.push_back(std::chrono::duration<double, std::micro>(rxAt - sent).count());
        loop.RunUntil([&] { return comm.InQueCount() >= static_cast<std::int32_t>(burst.size()); },
                      std::chrono::milliseconds(1000));
        comm.ReadBuf(sink.data(), 820);
        loop.RunFor(std::chrono::milliseconds(2));
        loop.RunPending();
    }
    comm.Close();
    ::close(master);
    ::close(slave);
    if (latencies.empty())
        return 1;
    std::sort(latencies.begin(), latencies.end());
    auto at = [&](double q) { return latencies[static_cast<std::size_t>(q * (latencies.size() - 1))]; };
    std::printf("last byte to OnRxChar, %zu bursts: min %.0f us, median %.0f us, p99 %.0f us, max %.0f us\n",
                latencies.size(), latencies.front(), at(0.5), at(0.99), latencies.back());
    return 0;
}
