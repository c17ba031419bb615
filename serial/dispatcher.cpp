#include "serial/dispatcher.h"

namespace serial {

void EventLoopDispatcher::Post(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    ready_.notify_all();
}

bool EventLoopDispatcher::RunOne(std::unique_lock<std::mutex>& lock)
{
    if (tasks_.empty())
        return false;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
    return true;
}

int EventLoopDispatcher::RunPending()
{
    std::unique_lock lock(mutex_);
    int n = 0;
    for (std::size_t queued = tasks_.size(); queued > 0 && RunOne(lock); --queued)
        ++n;
    return n;
}

void EventLoopDispatcher::RunFor(std::chrono::milliseconds duration)
{
    RunUntil([] { return false; }, duration);
}

bool EventLoopDispatcher::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    for (;;) {
        while (RunOne(lock)) {}
        lock.unlock();
        const bool finished = done();
        lock.lock();
        if (finished)
            return true;
        if (!ready_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) {
            lock.unlock();
            return done();
        }
    }
}

}  // namespace serial
