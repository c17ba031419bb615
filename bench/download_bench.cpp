// Downloading the 40 stored records from the stand-in, which answers after a
// fixed delay and sends at the line's pace. The reply rule sets the floor:
// each record takes at least the answer delay plus the 300 ms window from the
// reply's first byte. Prints the wall time against that floor (target at most
// 1.1 times) and the CPU time of the download (target under 2 % of the wall).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "protocol/core/memory_download.h"

namespace {

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    const int delayMs = argc > 1 ? std::atoi(argv[1]) : 20;
    namespace fs = std::filesystem;
    std::random_device rd;
    const fs::path dir = fs::temp_directory_path() / ("sovikan-download-bench-" + std::to_string(rd()));
    fs::create_directories(dir / "survey");
    const std::string ports = (dir / "ports").string();
    ::setenv("SOVIKAN_PORTS_DIR", ports.c_str(), 1);
    const std::string delay = std::to_string(delayMs);
    const std::string sysfs = (dir / "sysfs").string();
    const pid_t meter = ::fork();
    if (meter == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execl(SOVIKAN_METER_BINARY, SOVIKAN_METER_BINARY, "--com", "61", "--ports", ports.c_str(), "--sysfs",
                sysfs.c_str(), "--answer-delay", delay.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 100 && !fs::exists(dir / "ports" / "com61"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    protocol::DownloadRequest request;
    request.com = 61;
    request.folder = (dir / "survey").string();
    protocol::MemoryDownload download;
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const protocol::DownloadResult result = download.Run(request, {});
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;

    ::kill(meter, SIGTERM);
    ::waitpid(meter, nullptr, 0);
    fs::remove_all(dir);
    if (!result.AllSaved()) {
        for (const auto& line : result.Summary())
            std::printf("%s\n", line.c_str());
        return 1;
    }
    const double floor = 40 * (delayMs + 300) / 1000.0;
    std::printf("download of 40 records, answer delay %d ms: %.2f s; floor 40 x (%d + 300) ms = %.2f s; "
                "%.3f x the floor (target <= 1.1)\n",
                delayMs, wall, delayMs, floor, wall / floor);
    std::printf("CPU time of the download: %.3f s = %.2f %% of the wall time (target < 2 %%)\n", cpu,
                100.0 * cpu / wall);
    return 0;
}
