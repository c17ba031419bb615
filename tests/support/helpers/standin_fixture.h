#pragma once
// The real stand-in program started on a pseudo-terminal for a test, with its
// announcement lines, and a raw view of its port.

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
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "device/commands.h"
#include "helpers/temp_folder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class StandIn : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("SOVIKAN_PORTS_DIR", (dir / "ports").c_str(), 1); }
    void TearDown() override
    {
        if (port >= 0)
            ::close(port);
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        ::unsetenv("SOVIKAN_PORTS_DIR");
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

    void Send(const device::CommandBytes& bytes)
    {
        ASSERT_EQ(::write(port, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

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

    test_support::TempFolder temp;
    const fs::path dir = temp.Path();
    pid_t pid = -1;
    int port = -1;
    std::map<std::string, std::string> announced;
};
