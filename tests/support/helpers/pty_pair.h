// A pseudo-terminal pair for tests: the component opens the slave side by its path,
// the test plays the far end of the line on the master side.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class PtyPair {
public:
    PtyPair()
    {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        path_ = name;
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair()
    {
        CloseMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& path() const { return path_; }
    int slave() const { return slave_; }
    int master() const { return master_; }
    void CloseMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    // Writes everything, waiting while the line is full.
    void Send(const std::vector<std::uint8_t>& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{master_, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }

    // Reads what the line holds now, without waiting.
    std::vector<std::uint8_t> ReadAvailable()
    {
        std::vector<std::uint8_t> out;
        std::uint8_t buf[4096];
        for (ssize_t n; (n = ::read(master_, buf, sizeof buf)) > 0;)
            out.insert(out.end(), buf, buf + n);
        return out;
    }

    // Reads until `count` bytes have come or `timeout` has passed.
    std::vector<std::uint8_t> Receive(std::size_t count, std::chrono::milliseconds timeout)
    {
        std::vector<std::uint8_t> out;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::uint8_t buf[4096];
        while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                out.insert(out.end(), buf, buf + n);
            } else {
                pollfd p{master_, POLLIN, 0};
                ::poll(&p, 1, 20);
            }
        }
        return out;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

inline std::vector<std::uint8_t> Pattern(std::size_t n, unsigned seed = 1)
{
    std::vector<std::uint8_t> v(n);
    unsigned x = seed;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return v;
}
