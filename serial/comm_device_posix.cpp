// The termios backend. Windows semantics kept here: received bytes are taken from the
// tty into a queue of our own of the driver's input size, so EV_RXCHAR is raised only
// when new bytes arrive, cbInQue counts exactly what a read can return, and line
// errors marked by the tty (PARMRK) become CE_ bits while the bytes received in error
// are delivered as received. Waits are poll()
// on the tty, the caller's stop event and an eventfd of our own, so nothing runs while
// the line is idle.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <mutex>

#include "serial/comm_device.h"
#include "serial/elapsed.h"
#include "serial/input_filter.h"
#include "serial/os.h"
#include "serial/port_names.h"
#include "serial/termios_map.h"

namespace serial {
namespace {

constexpr std::uint32_t kLineErrors = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME;

class PosixCommDevice final : public CommDevice {
public:
    ~PosixCommDevice() override { Close(); }

    int Open(const std::string& path) override
    {
        if (fd_ >= 0)
            return EBUSY;
        const std::string device = ResolveDevicePath(path);
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno;
        // flock refuses a second opening in this process too (and by root), TIOCEXCL other
        // processes that do not lock.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int e = errno == EWOULDBLOCK ? EBUSY : errno;
            ::close(fd);
            return e;
        }
        termios2 tio{};
        if (::ioctl(fd, TCGETS2, &tio) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
            const int e = errno;
            ::close(fd);
            return e;
        }
        // Raw bytes in both directions; the line settings themselves come with SetState.
        tio.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL);
        tio.c_iflag |= PARMRK;
        tio.c_oflag &= ~OPOST;
        tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        tio.c_cflag |= CREAD | CLOCAL;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        if (::ioctl(fd, TCSETS2, &tio) != 0) {
            const int e = errno;
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
            return e;
        }
        const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake < 0) {
            const int e = errno;
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
            return e;
        }
        std::lock_guard lock(mutex_);
        fd_ = fd;
        wake_ = wake;
        serial_icounter_struct counters{};
        haveCounters_ = ::ioctl(fd, TIOCGICOUNT, &counters) == 0;
        counters_ = counters;
        return 0;
    }

    // Linux's close() of a tty waits until its output has left the line, up to the
    // driver's closing time (30 s by default), e.g. while a handshake holds it.
    void FinishOutput(std::uint32_t timeoutMs) override
    {
        std::lock_guard lock(mutex_);
        if (fd_ < 0)
            return;
        const std::uint32_t start = TickCount();
        for (;;) {
            if (ElapsedSince(start, TickCount()) >= timeoutMs) {
                ::ioctl(fd_, TCFLSH, TCOFLUSH);
                return;
            }
            int unsent = 0;
            if (::ioctl(fd_, TIOCOUTQ, &unsent) != 0 || unsent == 0)
                return;
            ::usleep(2000);
        }
    }

    void Close() override
    {
        std::lock_guard lock(mutex_);
        if (fd_ >= 0) {
            ::ioctl(fd_, TIOCNXCL);
            ::close(fd_);
            fd_ = -1;
        }
        if (wake_ >= 0) {
            ::close(wake_);
            wake_ = -1;
        }
        queue_.clear();
    }

    int SetState(const Dcb& dcb) override
    {
        const TermiosPlan plan = MapDcbToTermios(dcb);
        if (plan.error)
            return plan.error;
        std::lock_guard lock(mutex_);
        if (fd_ < 0)
            return EBADF;
        termios2 tio{};
        if (::ioctl(fd_, TCGETS2, &tio) != 0)
            return errno;
        tio.c_iflag = plan.iflag;
        tio.c_oflag = plan.oflag;
        tio.c_lflag = plan.lflag;
        tio.c_cflag = plan.cflag;
        tio.c_ispeed = plan.speed;
        tio.c_ospeed = plan.speed;
        tio.c_cc[VSTART] = plan.vstart;
        tio.c_cc[VSTOP] = plan.vstop;
        tio.c_cc[VMIN] = plan.vmin;
        tio.c_cc[VTIME] = plan.vtime;
        if (::ioctl(fd_, TCSETS2, &tio) != 0)
            return errno;
        // A pseudo-terminal has no modem lines; only a real refusal is an error.
        if (plan.modemSet && ::ioctl(fd_, TIOCMBIS, &plan.modemSet) != 0 && !NoModemLines(errno))
            return errno;
        if (plan.modemClear && ::ioctl(fd_, TIOCMBIC, &plan.modemClear) != 0 && !NoModemLines(errno))
            return errno;
        filter_.Configure(plan.input);
        input_ = plan.input;
        return 0;
    }

    int Setup(std::uint32_t inQueue, std::uint32_t) override
    {
        std::lock_guard lock(mutex_);
        inCapacity_ = inQueue > 0 ? inQueue : kDefaultInQueue;
        return 0;
    }

    int SetTimeouts(const CommTimeouts&) override { return fd_ >= 0 ? 0 : EBADF; }

    int SetMask(std::uint32_t mask) override
    {
        std::lock_guard lock(mutex_);
        if (fd_ < 0)
            return EBADF;
        mask_ = mask;
        pending_ &= mask;
        return 0;
    }

    int ClearError(std::uint32_t& errors, ComStat& stat) override
    {
        std::lock_guard lock(mutex_);
        if (fd_ < 0)
            return EBADF;
        if (const int e = DrainLocked(); e != 0)
            return e;
        ReadCountersLocked(false);
        errors = errors_;
        errors_ = 0;
        stat = ComStat{};
        stat.cbInQue = static_cast<std::uint32_t>(queue_.size());
        int out = 0;
        if (::ioctl(fd_, TIOCOUTQ, &out) == 0 && out > 0)
            stat.cbOutQue = static_cast<std::uint32_t>(out);
        return 0;
    }

    WaitStatus WaitEvent(std::uint32_t& mask, TVaWaitEvent& stop, int& error) override
    {
        for (;;) {
            bool wantInput = false;
            int fd = -1;
            int wake = -1;
            {
                std::lock_guard lock(mutex_);
                if (fd_ < 0) {
                    error = EBADF;
                    return WaitStatus::Failed;
                }
                // Events found with the failure (the last bytes before a hang-up) come first;
                // the failure comes again on the next pass.
                const int e = DrainLocked();
                if (pending_ != 0) {
                    mask = pending_;
                    pending_ = 0;
                    return WaitStatus::Events;
                }
                if (e != 0) {
                    error = e;
                    return WaitStatus::Failed;
                }
                wantInput = HasRoomLocked() || !input_.inputFlowControl;
                fd = fd_;
                wake = wake_;
            }
            pollfd fds[3] = {{fd, static_cast<short>(wantInput ? POLLIN : 0), 0},
                             {static_cast<int>(stop.Handle()), POLLIN, 0},
                             {wake, POLLIN, 0}};
            const int r = ::poll(fds, 3, -1);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                return WaitStatus::Failed;
            }
            if (fds[1].revents)
                return WaitStatus::Stopped;
            if (fds[2].revents) {
                std::uint64_t value = 0;
                [[maybe_unused]] const ssize_t n = ::read(wake, &value, sizeof value);
            }
            if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[0].revents & POLLIN)) {
                // Hung up (adapter unplugged, peer gone): the line is dead until reopened.
                error = EIO;
                return WaitStatus::Failed;
            }
        }
    }

    IoStatus Read(void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent&, std::uint32_t,
                  int& error) override
    {
        std::lock_guard lock(mutex_);
        done = 0;
        if (fd_ < 0) {
            error = EBADF;
            return IoStatus::Failed;
        }
        const int e = DrainLocked();
        if (e != 0 && queue_.empty()) {
            error = e;
            return IoStatus::Failed;
        }
        const bool wasFull = !HasRoomLocked();
        const std::size_t n = std::min<std::size_t>(count, queue_.size());
        std::copy_n(queue_.begin(), n, static_cast<std::uint8_t*>(buffer));
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
        done = static_cast<std::uint32_t>(n);
        // With input flow control the waiter stopped polling the tty while the queue was
        // full; there is room again, so it must take in what the tty holds back.
        if (wasFull && n > 0 && input_.inputFlowControl)
            WakeWaiter();
        return IoStatus::Done;
    }

    IoStatus Write(const void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent&, TVaWaitEvent* stop,
                   std::uint32_t timeoutMs, int& error) override
    {
        done = 0;
        const int fd = fd_;
        if (fd < 0) {
            error = EBADF;
            return IoStatus::Failed;
        }
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        const std::uint64_t start = NowMs();
        while (done < count) {
            const ssize_t w = ::write(fd, bytes + done, count - done);
            if (w > 0) {
                done += static_cast<std::uint32_t>(w);
                continue;
            }
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0 && errno != EAGAIN) {
                error = errno;
                return done == 0 ? IoStatus::Failed : IoStatus::CompletionFailed;
            }
            int wait = -1;
            if (timeoutMs != kInfinite) {
                const std::uint64_t elapsed = NowMs() - start;
                if (elapsed >= timeoutMs)
                    return IoStatus::TimedOut;
                wait = static_cast<int>(std::min<std::uint64_t>(timeoutMs - elapsed, INT_MAX));
            }
            pollfd fds[2] = {{fd, POLLOUT, 0}, {stop ? static_cast<int>(stop->Handle()) : -1, POLLIN, 0}};
            const int r = ::poll(fds, 2, wait);
            if (r < 0 && errno != EINTR) {
                error = errno;
                return IoStatus::CompletionFailed;
            }
            if (r > 0 && fds[1].revents)
                return IoStatus::Stopped;
            if (r > 0 && (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) && !(fds[0].revents & POLLOUT)) {
                error = EIO;
                return done == 0 ? IoStatus::Failed : IoStatus::CompletionFailed;
            }
        }
        std::lock_guard lock(mutex_);
        if (mask_ & EV_TXEMPTY)
            Raise(EV_TXEMPTY);
        return IoStatus::Done;
    }

private:
    static constexpr std::uint32_t kDefaultInQueue = 4096;

    // A hung-up tty (adapter unplugged, pseudo-terminal peer gone) fails with EIO; a
    // device node whose hardware has been removed with ENXIO or ENODEV.
    bool IsLineLost(int code) const override { return code == EIO || code == ENXIO || code == ENODEV; }

    static bool NoModemLines(int e) { return e == ENOTTY || e == EINVAL || e == ENOIOCTLCMD_USER; }
    // The kernel's ENOIOCTLCMD as user space may see it.
    static constexpr int ENOIOCTLCMD_USER = 515;

    static std::uint64_t NowMs()
    {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    }

    bool HasRoomLocked() const { return queue_.size() < inCapacity_; }

    // Records events for the waiter and wakes it when it is not the caller.
    void Raise(std::uint32_t events)
    {
        const std::uint32_t fresh = events & mask_ & ~pending_;
        pending_ |= events & mask_;
        if (fresh)
            WakeWaiter();
    }

    void WakeWaiter()
    {
        if (wake_ < 0)
            return;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
    }

    void ReadCountersLocked(bool marksSeen)
    {
        if (!haveCounters_)
            return;
        serial_icounter_struct now{};
        if (::ioctl(fd_, TIOCGICOUNT, &now) != 0)
            return;
        std::uint32_t errors = 0;
        if (now.overrun != counters_.overrun)
            errors |= CE_OVERRUN;
        if (now.buf_overrun != counters_.buf_overrun)
            errors |= CE_RXOVER;
        if (marksSeen) {
            // The driver's counters tell what the marks were; trust them over the guess.
            std::uint32_t kinds = 0;
            if (now.frame != counters_.frame)
                kinds |= CE_FRAME;
            if (now.parity != counters_.parity)
                kinds |= CE_RXPARITY;
            if (now.brk != counters_.brk)
                kinds |= CE_BREAK;
            if (kinds)
                errors_ = (errors_ & ~(CE_FRAME | CE_RXPARITY | CE_BREAK)) | kinds;
        }
        counters_ = now;
        if (errors) {
            errors_ |= errors;
            Raise(EV_ERR);
        }
    }

    // Moves what the tty holds into our queue. Returns 0 or the read error.
    int DrainLocked()
    {
        std::uint8_t raw[4096];
        int result = 0;
        InputFilter::Result found;
        std::size_t received = 0;
        const bool wasBelow80 = queue_.size() * 10 < static_cast<std::size_t>(inCapacity_) * 8;
        for (;;) {
            std::size_t room = inCapacity_ > queue_.size() ? inCapacity_ - queue_.size() : 0;
            // With input flow control the tty keeps what does not fit (and throttles the
            // sender): take no more than there is room for. A raw byte gives at most one
            // data byte (the tty doubles every \377 under PARMRK), so what is read fits.
            std::size_t want = sizeof raw;
            if (input_.inputFlowControl) {
                if (room == 0)
                    break;
                want = std::min(want, room);
            }
            const ssize_t n = ::read(fd_, raw, want);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                if (errno != EAGAIN)
                    result = errno;
                break;
            }
            if (n == 0) {
                // With VMIN = VTIME = 0 an idle line reads as 0 bytes, and so does a hung-up one
                // (adapter unplugged, peer gone); only poll tells them apart.
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
                    result = EIO;
                break;
            }
            scratch_.clear();
            filter_.Feed(raw, static_cast<std::size_t>(n), scratch_, found);
            room = inCapacity_ > queue_.size() ? inCapacity_ - queue_.size() : 0;
            const std::size_t keep = input_.inputFlowControl ? scratch_.size() : std::min(room, scratch_.size());
            queue_.insert(queue_.end(), scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(keep));
            received += keep;
            if (keep < scratch_.size())
                found.errors |= CE_RXOVER;
        }
        std::uint32_t events = found.events;
        if (received)
            events |= EV_RXCHAR;
        if (wasBelow80 && queue_.size() * 10 >= static_cast<std::size_t>(inCapacity_) * 8)
            events |= EV_RX80FULL;
        errors_ |= found.errors;
        if (found.errors & kLineErrors)
            events |= EV_ERR;
        if (events)
            Raise(events);
        if (found.marks)
            ReadCountersLocked(true);
        return result;
    }

    std::mutex mutex_;
    int fd_ = -1;
    int wake_ = -1;
    std::deque<std::uint8_t> queue_;
    std::vector<std::uint8_t> scratch_;
    std::uint32_t inCapacity_ = kDefaultInQueue;
    std::uint32_t mask_ = 0;
    std::uint32_t pending_ = 0;
    std::uint32_t errors_ = 0;
    InputFilter filter_;
    InputOptions input_;
    bool haveCounters_ = false;
    serial_icounter_struct counters_{};
};

}  // namespace

std::unique_ptr<CommDevice> CreateSystemCommDevice()
{
    return std::make_unique<PosixCommDevice>();
}

}  // namespace serial
