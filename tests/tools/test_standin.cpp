// Runs the real stand-in program on a pseudo-terminal and talks to it like the
// window does: discovery through its sysfs description, then commands over the
// port link.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <filesystem>
#include <string>
#include <vector>

#include "device/commands.h"
#include "device/port_discovery.h"
#include "device/reply.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class StandIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("sovikan-standin-test-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ::setenv("SOVIKAN_PORTS_DIR", (dir / "ports").c_str(), 1);
    }
    void TearDown() override
    {
        if (port >= 0)
            ::close(port);
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        ::unsetenv("SOVIKAN_PORTS_DIR");
        fs::remove_all(dir);
    }

    // Starts the program and reads its announcement lines (NAME=value) until the tty line.
    void Start(const std::vector<std::string>& args)
    {
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv{const_cast<char*>(SOVIKAN_METER_BINARY)};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        std::string text;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (text.find("SOVIKAN_METER_TTY=") == std::string::npos || text.back() != '\n') {
            pollfd p{out[0], POLLIN, 0};
            ASSERT_GT(::poll(&p, 1, 100) >= 0 && Clock::now() < deadline, 0) << "no announcement: " << text;
            if (p.revents & (POLLIN | POLLHUP)) {
                char buf[256];
                const ssize_t n = ::read(out[0], buf, sizeof buf);
                ASSERT_GT(n, 0) << "the stand-in ended: " << text;
                text.append(buf, static_cast<std::size_t>(n));
            }
        }
        ::close(out[0]);
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find('\n', at);
            const std::string line = text.substr(at, end - at);
            if (auto eq = line.find('='); eq != std::string::npos)
                announced[line.substr(0, eq)] = line.substr(eq + 1);
            at = end + 1;
        }
    }

    void OpenPort(const fs::path& link)
    {
        port = ::open(link.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(port, 0);
        termios tio{};
        ASSERT_EQ(::tcgetattr(port, &tio), 0);
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B38400);
        ::cfsetospeed(&tio, B38400);
        // No parity bits: a pseudo-terminal drops PARENB and glibc then reports EINVAL.
        tio.c_cflag |= CS8 | CREAD | CLOCAL;
        ASSERT_EQ(::tcsetattr(port, TCSANOW, &tio), 0) << std::strerror(errno);
    }

    void Send(const device::CommandBytes& bytes) { ASSERT_EQ(::write(port, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }

    // Reads until `count` bytes came or the time is up; then waits a little for extra bytes.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds limit)
    {
        std::vector<std::uint8_t> got;
        const auto deadline = Clock::now() + limit;
        auto quietUntil = deadline;
        while (Clock::now() < quietUntil) {
            pollfd p{port, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
                std::uint8_t buf[1024];
                const ssize_t n = ::read(port, buf, sizeof buf);
                if (n > 0)
                    got.insert(got.end(), buf, buf + n);
            }
            if (got.size() >= count && quietUntil == deadline)
                quietUntil = Clock::now() + std::chrono::milliseconds(50);
        }
        return got;
    }

    fs::path dir;
    pid_t pid = -1;
    int port = -1;
    std::map<std::string, std::string> announced;
};

TEST_F(StandIn, IsDiscoveredAndAnswersLikeTheMeter)
{
    const fs::path sysfs = dir / "sysfs";
    ASSERT_NO_FATAL_FAILURE(Start({"--com", "47", "--ports", (dir / "ports").string(), "--sysfs", sysfs.string(),
                                   "--lux", "640", "--ripple", "25"}));
    EXPECT_EQ(announced["SOVIKAN_SYSFS_ROOT"], sysfs.string());
    EXPECT_EQ(announced["SOVIKAN_METER_COM"], "47");
    const fs::path link = dir / "ports" / "com47";
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), announced["SOVIKAN_METER_TTY"]);

    // Start-up discovery: nothing in the registry, found through sysfs and the link.
    EXPECT_EQ(device::DiscoverMeterPort(device::SystemRegistry(), sysfs), 47);

    ASSERT_NO_FATAL_FAILURE(OpenPort(link));
    const auto started = Clock::now();
    ASSERT_NO_FATAL_FAILURE(Send(device::MeasureCommand(0, 1)));
    const auto reply = Read(811, std::chrono::milliseconds(2000));
    const auto took = Clock::now() - started;
    ASSERT_EQ(reply.size(), 811u);
    // About 100 ms of measuring and 232 ms on the line; the rest is slack for a busy machine.
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    // The line's pace: 811 bytes at 38400 baud, 11 bits each, take about 232 ms.
    EXPECT_GT(took, std::chrono::milliseconds(200));
    analysis::MeasurementRecord rec;
    device::DecodeMeasurementReply(reply, rec);
    EXPECT_EQ(rec.SampleCount, 400);
    EXPECT_EQ(rec.RangeIndex, 5);
    EXPECT_EQ(rec.TimeMultiplier, 1);
    EXPECT_EQ(rec.SampleInterval, 0.25f);
    double sum = 0;
    for (int i = 0; i < rec.SampleCount; ++i)
        sum += rec.Samples[i];
    EXPECT_NEAR(sum / 400 * rec.LuxFactor * rec.RangeDecade, 640, 640 * 0.03);

    ASSERT_NO_FATAL_FAILURE(Send(device::CheckCommand()));
    const auto calibration = Read(37, std::chrono::milliseconds(1000));
    ASSERT_EQ(calibration.size(), 37u);
    const auto cal = device::DecodeCalibrationRecord(std::span<const std::uint8_t, 37>(calibration.data(), 37));
    EXPECT_EQ(cal.OscCal, 0xA7);
    EXPECT_EQ(cal.kT, 0.25f);

    ASSERT_NO_FATAL_FAILURE(Send(device::ReadRecordCommand(3)));
    const auto first = Read(811, std::chrono::milliseconds(1000));
    ASSERT_NO_FATAL_FAILURE(Send(device::ReadRecordCommand(3)));
    EXPECT_EQ(Read(811, std::chrono::milliseconds(1000)), first);
    ASSERT_NO_FATAL_FAILURE(Send(device::ReadRecordCommand(4)));
    const auto next = Read(811, std::chrono::milliseconds(1000));
    ASSERT_EQ(next.size(), 811u);
    EXPECT_NE(next, first);

    // Stopping removes the link and the device description.
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_FALSE(fs::exists(sysfs));
    EXPECT_EQ(device::FindSysfsPort(sysfs, device::kMeterVendorId, device::kMeterProductId, device::kMeterDeviceName), -1);
}

TEST_F(StandIn, RefusesAComNumberThatIsTaken)
{
    fs::create_directories(dir / "ports");
    fs::create_symlink("/dev/null", dir / "ports" / "com50");
    pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string ports = (dir / "ports").string();
        ::execl(SOVIKAN_METER_BINARY, SOVIKAN_METER_BINARY, "--ports", ports.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(fs::read_symlink(dir / "ports" / "com50"), "/dev/null");
}

}  // namespace
