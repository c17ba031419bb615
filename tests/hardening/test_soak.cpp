// Many measurement cycles against the meter stand-in, through the serial
// component as the window uses it: every reply arrives whole and once, and
// memory, descriptors and threads stay where they were, also across closing
// and reopening the port.
//
// SOVIKAN_SOAK_CYCLES sets the number of cycles; without it CTest's
// SOVIKAN_SOAK_CTEST_CYCLES does (a short run), else 1000.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "device/commands.h"
#include "device/line.h"
#include "device/reply.h"
#include "helpers/temp_folder.h"
#include "process_figures.h"
#include "serial/va_comm.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kReopenEvery = 20;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SOAK_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SOAK_UNDER_SANITIZER 1
#endif
#endif
#ifdef SOAK_UNDER_SANITIZER
// Freed blocks stay resident in a sanitizer's quarantine and its shadow
// memory grows with use; LeakSanitizer checks for leaks at exit instead.
constexpr long kRssMarginKb = 64 * 1024;
#else
constexpr long kRssMarginKb = 2048;
#endif

int Cycles()
{
    for (const char* name : {"SOVIKAN_SOAK_CYCLES", "SOVIKAN_SOAK_CTEST_CYCLES"}) {
        const char* text = std::getenv(name);
        const int n = text ? std::atoi(text) : 0;
        if (n > 0)
            return n;
    }
    return 1000;
}

// The stand-in answering at once, reachable as COM<com> in `ports`.
class StandIn {
public:
    StandIn(const fs::path& ports, const fs::path& sysfs, int com)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            const std::string comText = std::to_string(com);
            ::execl(SOVIKAN_METER_BINARY, SOVIKAN_METER_BINARY, "--fast", "--com", comText.c_str(), "--ports",
                    ports.c_str(), "--sysfs", sysfs.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        std::string text;
        const auto deadline = Clock::now() + 10s;
        while (text.find("SOVIKAN_METER_TTY=") == std::string::npos || text.back() != '\n') {
            pollfd p{out[0], POLLIN, 0};
            if (::poll(&p, 1, 100) < 0 || Clock::now() > deadline)
                break;
            if (p.revents & (POLLIN | POLLHUP)) {
                char buf[256];
                const ssize_t n = ::read(out[0], buf, sizeof buf);
                if (n <= 0)
                    break;
                text.append(buf, static_cast<std::size_t>(n));
            }
        }
        ::close(out[0]);
        ready_ = text.find("SOVIKAN_METER_TTY=") != std::string::npos;
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    ~StandIn()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

struct Figures {
    long rssKb;
    int descriptors;
    int threads;
};

Figures Now()
{
    return {hardening::ResidentKb(), hardening::OpenDescriptors(), hardening::Threads()};
}

// The threads of the process once the component's workers have ended (they
// end on their own right after Close).
int ThreadsSettled(int expected)
{
    const auto deadline = Clock::now() + 1s;
    int n = hardening::Threads();
    while (n > expected && Clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
        n = hardening::Threads();
    }
    return n;
}

class Soak : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("SOVIKAN_PORTS_DIR", (dir / "ports").c_str(), 1); }
    void TearDown() override { ::unsetenv("SOVIKAN_PORTS_DIR"); }

    void Configure(serial::TVaComm& comm)
    {
        comm.SetPortNum(com);
        device::ApplyLineSettings(comm);
        comm.OnRxChar = [this](serial::TVaCustomComm&, std::int32_t) { ++rxEvents; };
    }

    // One cycle as the window runs it: command, the first received-character
    // event, then the reply burst read at once after 300 ms of quiet (or as
    // soon as a whole reply is waiting).
    void Cycle(serial::TVaComm& comm, int cycle)
    {
        ASSERT_EQ(comm.InQueCount(), 0) << "bytes left over before cycle " << cycle;
        const int range = cycle % 9;  // 0 is the automatic range
        const int multiplier = 1 + cycle % 4;
        const auto command = device::MeasureCommand(range, multiplier);
        const int eventsBefore = rxEvents;
        for (std::uint8_t b : command)
            ASSERT_TRUE(comm.WriteChar(b));
        ASSERT_TRUE(loop.RunUntil([&] { return rxEvents > eventsBefore; }, 3000ms)) << "no reply in cycle " << cycle;

        int waiting = comm.InQueCount();
        auto quietSince = Clock::now();
        while (waiting < 811 && Clock::now() - quietSince < 300ms) {
            loop.RunFor(5ms);
            const int now = comm.InQueCount();
            if (now != waiting) {
                waiting = now;
                quietSince = Clock::now();
            }
        }
        const int count = comm.ReadBuf(rx.RxBuffer.data(), device::kRxBufferSize);
        rx.Received(count);
        ASSERT_EQ(count, 811) << "cycle " << cycle;
        ASSERT_TRUE(rx.IsMeasurement());
        EXPECT_EQ(rx.RxBuffer[0], command[0]) << "a reply to another command in cycle " << cycle;
        analysis::MeasurementRecord record;
        rx.DecodeMeasurement(record);
        EXPECT_EQ(record.SampleCount, 400);
        EXPECT_EQ(record.TimeMultiplier, multiplier) << "cycle " << cycle;
        EXPECT_TRUE(range == 0 ? record.RangeIndex >= 1 && record.RangeIndex <= 8 : record.RangeIndex == range)
            << "cycle " << cycle;
        // A doubled reply would be waiting by now.
        loop.RunFor(2ms);
        ASSERT_EQ(comm.InQueCount(), 0) << "a second reply in cycle " << cycle;
        ++replies;
    }

    test_support::TempFolder temp;
    const fs::path dir = temp.Path();
    int com = 60 + ::getpid() % 30;
    serial::EventLoopDispatcher loop;
    device::ReplyReceiver rx;
    int rxEvents = 0;
    int replies = 0;
};

TEST_F(Soak, MeasurementCyclesLoseNothingAndLeakNothing)
{
    StandIn standIn(dir / "ports", dir / "sysfs", com);
    ASSERT_TRUE(standIn.ready()) << "the stand-in did not start";
    const int cycles = Cycles();
    hardening::SettleRuntimeThreads();
    const int baseThreads = hardening::Threads();

    serial::TVaComm comm(loop);
    Configure(comm);
    // A first open and a few cycles settle the allocator and the library's one-time state.
    comm.Open();
    for (int i = 0; i < 3; ++i)
        ASSERT_NO_FATAL_FAILURE(Cycle(comm, i));
    comm.Close();
    loop.RunPending();
    ASSERT_EQ(ThreadsSettled(baseThreads), baseThreads);
    const Figures before = Now();

    comm.Open();
    const auto started = Clock::now();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_NO_FATAL_FAILURE(Cycle(comm, cycle));
        if ((cycle + 1) % kReopenEvery == 0) {
            comm.Close();
            loop.RunPending();
            ASSERT_EQ(ThreadsSettled(baseThreads), baseThreads) << "threads left behind after close, cycle " << cycle;
            comm.Open();
        }
    }
    comm.Close();
    loop.RunPending();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    ThreadsSettled(before.threads);
    const Figures after = Now();

    std::printf("soak: %d cycles (%d replies, %d received-character events) in %.1f s, reopened every %d\n", cycles,
                replies - 3, rxEvents, seconds, kReopenEvery);
    std::printf("soak: RSS %ld kB -> %ld kB, descriptors %d -> %d, threads %d -> %d\n", before.rssKb, after.rssKb,
                before.descriptors, after.descriptors, before.threads, after.threads);
    EXPECT_EQ(replies - 3, cycles);
    EXPECT_LE(after.descriptors, before.descriptors);
    EXPECT_LE(after.threads, before.threads);
    EXPECT_LE(after.rssKb - before.rssKb, kRssMarginKb);
}

}  // namespace
