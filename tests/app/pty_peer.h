#pragma once
// A pseudo-terminal pair for window tests: the test plays the meter on the
// master side; the slave is reachable as a COM port through a link in a
// temporary ports folder.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class PtyPeer {
public:
    PtyPeer(const std::filesystem::path& portsFolder, int com)
    {
        char name[128] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&master_, &slave_, name, &raw, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        slavePath_ = name;
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        link_ = portsFolder / ("com" + std::to_string(com));
        std::filesystem::create_directories(portsFolder);
        std::filesystem::remove(link_);
        std::filesystem::create_symlink(slavePath_, link_);
    }
    ~PtyPeer()
    {
        std::error_code ec;
        std::filesystem::remove(link_, ec);
        close(master_);
        close(slave_);
    }

    // Collects what the program wrote while running its event loop, until
    // `count` bytes have come or the time is up.
    std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs = 2000)
    {
        std::vector<std::uint8_t> got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::uint8_t buf[256];
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
        }
        return got;
    }
    void Write(const std::vector<std::uint8_t>& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else
                poll(nullptr, 0, 1);
        }
    }
    const std::string& SlavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::filesystem::path link_;
};

// Runs the event loop until `done` or the time is up; returns done().
template <typename F>
bool RunUntil(F done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}
