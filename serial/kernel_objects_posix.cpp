#include "serial/kernel_objects.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <stdexcept>
#include <vector>

#include "serial/comm_types.h"

namespace serial {
namespace {

int PollTimeout(std::uint32_t ms)
{
    return ms == kInfinite ? -1 : (ms > INT_MAX ? INT_MAX : static_cast<int>(ms));
}

NativeHandle NewEventFd()
{
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("eventfd failed");
    return fd;
}

}  // namespace

TVaHandleObject::~TVaHandleObject()
{
    ::close(static_cast<int>(handle_));
}

TWaitResult TVaHandleObject::WaitFor(std::uint32_t milliseconds)
{
    pollfd p{static_cast<int>(handle_), POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, PollTimeout(milliseconds));
        if (r > 0)
            return TWaitResult::wrSignaled;
        if (r == 0)
            return TWaitResult::wrTimeout;
        if (errno != EINTR) {
            lastError_ = errno;
            return TWaitResult::wrError;
        }
    }
}

void TVaHandleObject::SetEvent()
{
    // The counter stays non-zero until ResetEvent, which is what makes the event manual-reset.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(static_cast<int>(handle_), &one, sizeof one);
}

void TVaHandleObject::ResetEvent()
{
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(static_cast<int>(handle_), &value, sizeof value);
}

TVaWaitEvent::TVaWaitEvent() : TVaEvent(NewEventFd()) {}

int WaitForAny(TVaWaitEvent* const* events, int count, std::uint32_t milliseconds)
{
    std::vector<pollfd> fds(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        fds[i] = pollfd{static_cast<int>(events[i]->Handle()), POLLIN, 0};
    for (;;) {
        const int r = ::poll(fds.data(), fds.size(), PollTimeout(milliseconds));
        if (r == 0)
            return -1;
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -2;
        }
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents)
                return i;
        }
    }
}

struct TVaCriticalSection::Impl {
    pthread_mutex_t mutex;
};

TVaCriticalSection::TVaCriticalSection() : impl_(std::make_unique<Impl>())
{
    pthread_mutexattr_t attr;
    ::pthread_mutexattr_init(&attr);
    ::pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    ::pthread_mutex_init(&impl_->mutex, &attr);
    ::pthread_mutexattr_destroy(&attr);
}

TVaCriticalSection::~TVaCriticalSection()
{
    ::pthread_mutex_destroy(&impl_->mutex);
}
void TVaCriticalSection::Enter()
{
    ::pthread_mutex_lock(&impl_->mutex);
}
void TVaCriticalSection::Leave()
{
    ::pthread_mutex_unlock(&impl_->mutex);
}

}  // namespace serial
