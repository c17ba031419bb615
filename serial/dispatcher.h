// How worker threads get a step run on the main thread. The application implements
// Post with its event loop; EventLoopDispatcher is a loop of our own for tests and
// command-line tools.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace serial {

class MainThreadDispatcher {
public:
    virtual ~MainThreadDispatcher() = default;
    // Queues `task` to run on the main thread; callable from any thread, returns at once.
    // A task may be dropped if the loop has ended; tasks never outlive their shared state.
    virtual void Post(std::function<void()> task) = 0;
};

// A queue of tasks run by whichever thread calls RunPending / RunFor / RunUntil (the
// "main" thread of a test or tool).
class EventLoopDispatcher : public MainThreadDispatcher {
public:
    EventLoopDispatcher() : owner_(std::this_thread::get_id()) {}
    void Post(std::function<void()> task) override;
    // Runs the tasks queued now; returns how many ran.
    int RunPending();
    // Runs tasks as they come for `duration`.
    void RunFor(std::chrono::milliseconds duration);
    // Runs tasks until `done()` is true or `timeout` has passed; returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }

private:
    bool RunOne(std::unique_lock<std::mutex>& lock);
    std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace serial
