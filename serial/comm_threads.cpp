#include "serial/comm_threads.h"

#include <algorithm>
#include <cstring>
#include <future>

#include "serial/comm_messages.h"
#include "serial/comm_types.h"
#include "serial/elapsed.h"
#include "serial/os.h"

namespace serial {

namespace {

// A device that keeps failing (unplugged adapter, hung-up pseudo-terminal) would make a
// worker retry in a tight loop; a short pause between failed attempts keeps the CPU free.
constexpr std::uint32_t kRetryPauseMs = 50;

}  // namespace

// ---------------------------------------------------------------------------
// Write queue

TVaCommBuffer::TVaCommBuffer(std::int32_t capacity) : data_(static_cast<std::size_t>(std::max(capacity, 0))) {}

void TVaCommBuffer::Append(const void* bytes, std::int32_t n)
{
    const std::int32_t count = count_.load(std::memory_order_relaxed);
    if (n > 0)
        std::memcpy(data_.data() + count, bytes, static_cast<std::size_t>(n));
    count_.store(count + n, std::memory_order_release);
}

void TVaCommBuffer::Remove(std::int32_t n)
{
    const std::int32_t count = count_.load(std::memory_order_relaxed);
    n = std::clamp(n, 0, count);
    std::memmove(data_.data(), data_.data() + n, static_cast<std::size_t>(count - n));
    count_.store(count - n, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// Synchronize

void SyncGate::Close()
{
    {
        std::lock_guard lock(mutex);
        closed = true;
    }
    done.notify_all();
}

bool TVaCommWorker::Synchronize(const std::function<void()>& step)
{
    struct Call {
        bool finished = false;
    };
    const std::shared_ptr<SyncGate>& gate = gate_;
    auto call = std::make_shared<Call>();
    {
        std::lock_guard lock(gate->mutex);
        if (gate->closed)
            return false;
    }
    host_.PostToMainThread([gate, call, step] {
        {
            std::lock_guard lock(gate->mutex);
            if (gate->closed)
                return;
        }
        step();
        {
            std::lock_guard lock(gate->mutex);
            call->finished = true;
        }
        gate->done.notify_all();
    });
    std::unique_lock lock(gate->mutex);
    gate->done.wait(lock, [&] { return call->finished || gate->closed; });
    return call->finished;
}

// ---------------------------------------------------------------------------
// Worker threads

void TVaCommWorker::Start(int priority)
{
    std::promise<std::uintptr_t> started;
    std::future<std::uintptr_t> token = started.get_future();
    thread_ = std::thread([this, priority, &started] {
        const std::uintptr_t self = CurrentThreadToken();
        SetNativeThreadPriority(self, priority);
        started.set_value(self);
        // Nothing leaves the thread: a worker that fails (no memory for a step,
        // say) has lost the port for good, and the user is told so once.
        try {
            Execute();
        } catch (...) {
            std::string detail = "unknown error";
            try {
                std::rethrow_exception(std::current_exception());
            } catch (const std::exception& e) {
                detail = e.what();
            } catch (...) {
            }
            try {
                host_.LoseLine(detail);
            } catch (...) {
                // Not even that could be posted; the thread ends all the same.
            }
        }
    });
    token_ = token.get();
}

void TVaCommWorker::SetPriority(int priority)
{
    SetNativeThreadPriority(token_, priority);
}

void TVaCommWorker::Join()
{
    if (thread_.joinable())
        thread_.join();
    ReleaseThreadToken(token_);
    token_ = 0;
}

void TVaCommWorker::SyncStep(const std::function<void(CommThreadHost&)>& step)
{
    CommThreadHost& host = host_;
    Synchronize([&host, step] {
        try {
            step(host);
        } catch (...) {
            host.Report(std::current_exception());
        }
    });
}

void TVaCommEventThread::Stop()
{
    terminated_ = true;
    waitEvent_.SetEvent();
}

void TVaCommEventThread::Execute()
{
    while (!terminated_) {
        std::uint32_t mask = 0;
        int error = 0;
        switch (device_.WaitEvent(mask, waitEvent_, error)) {
        case WaitStatus::Events:
            if (!terminated_) {
                CommThreadHost& host = host_;
                Synchronize([&host, mask] { host.DispatchEvents(mask); });
            }
            break;
        case WaitStatus::Stopped:
            break;
        case WaitStatus::Failed:
            if (host_.CheckLineLost(device_, error, kMsgWait)) {
                waitEvent_.WaitFor(kInfinite);  // the device has gone: nothing to wait for until Stop
            } else {
                waitEvent_.WaitFor(kRetryPauseMs);
            }
            break;
        }
    }
}

bool TVaCommWriteThread::Drain(std::uint32_t timeoutMs)
{
    draining_ = true;
    dataEvent_.SetEvent();
    return drained_.WaitFor(timeoutMs) == TWaitResult::wrSignaled && QueueEmpty();
}

bool TVaCommWriteThread::Enqueue(const void* bytes, std::int32_t n, std::int32_t limit, std::uint32_t timeoutMs)
{
    limit = std::min(limit, queue_.Capacity());
    if (static_cast<std::int64_t>(n) > limit) {
        // Never fits; wait out the time-out as a writer facing a full queue would.
        return WaitForRoom(n, limit, timeoutMs);
    }
    for (;;) {
        if (static_cast<std::int64_t>(queue_.Count()) + n > limit && !WaitForRoom(n, limit, timeoutMs))
            return false;
        std::lock_guard lock(host_.WriteLock());
        // Another writer may have taken the room between the test and the lock.
        if (static_cast<std::int64_t>(queue_.Count()) + n <= limit) {
            queue_.Append(bytes, n);
            dataEvent_.SetEvent();
            return true;
        }
    }
}

void TVaCommWriteThread::Execute()
{
    TVaWaitEvent* wakers[2] = {&stopEvent_, &dataEvent_};
    while (!terminated_) {
        const bool lost = host_.LineLost();
        if (lost || (draining_ && QueueEmpty())) {
            // Nothing more will be written: a lost line drops what is queued.
            if (lost)
                Consume(queue_.Count());
            drained_.SetEvent();
            stopEvent_.WaitFor(kInfinite);
            terminated_ = true;
            break;
        }
        const int which = WaitForAny(wakers, 2, kInfinite);
        if (which == 0) {
            terminated_ = true;
            break;
        }
        if (which != 1)
            continue;
        std::int32_t count = 0;
        const std::uint8_t* data = nullptr;
        {
            std::lock_guard lock(host_.WriteLock());
            count = queue_.Count();
            data = queue_.Data();
        }
        if (count == 0 && draining_)
            continue;
        std::uint32_t done = 0;
        int error = 0;
        const IoStatus status = device_.Write(data, static_cast<std::uint32_t>(count), done, writeDoneEvent_,
                                              &stopEvent_, kInfinite, error);
        // What went out before a failure or a stop is never written again.
        const auto written =
            static_cast<std::int32_t>(std::min<std::uint32_t>(done, static_cast<std::uint32_t>(count)));
        switch (status) {
        case IoStatus::Done:
            Completion(written);
            break;
        case IoStatus::Stopped:
            Consume(written);
            terminated_ = true;
            break;
        case IoStatus::Failed:
        case IoStatus::CompletionFailed:
            Consume(written);
            if (host_.CheckLineLost(device_, error, kMsgWrite))
                break;  // the next pass drops the queue
            if (status == IoStatus::Failed)
                SyncStep([](CommThreadHost& host) { host.HandleEvents(EV_ERR); });
            stopEvent_.WaitFor(kRetryPauseMs);
            break;
        case IoStatus::TimedOut:
            Consume(written);
            stopEvent_.WaitFor(kRetryPauseMs);
            break;
        }
    }
}

bool TVaCommWriteThread::WaitForRoom(std::int32_t n, std::int32_t limit, std::uint32_t timeoutMs)
{
    const std::uint32_t start = TickCount();
    for (;;) {
        const std::int32_t count = queue_.Count();
        if (ElapsedSince(start, TickCount()) > timeoutMs)
            return false;
        if (static_cast<std::int64_t>(count) + n <= limit)
            return true;
        std::this_thread::yield();
    }
}

bool TVaCommWriteThread::QueueEmpty()
{
    std::lock_guard lock(host_.WriteLock());
    return queue_.Count() == 0;
}

void TVaCommWriteThread::Consume(std::int32_t n)
{
    if (n <= 0)
        return;
    std::lock_guard lock(host_.WriteLock());
    queue_.Remove(n);
    if (queue_.Count() == 0)
        dataEvent_.ResetEvent();
}

void TVaCommWriteThread::Completion(std::int32_t written)
{
    bool empty = false;
    {
        // Testing and clearing under the lock keeps the DataEvent of a concurrent Enqueue.
        std::lock_guard lock(host_.WriteLock());
        queue_.Remove(written);
        empty = queue_.Count() == 0;
        if (empty) {
            dataEvent_.ResetEvent();
        } else {
            dataEvent_.SetEvent();
        }
    }
    if (empty)
        SyncStep([](CommThreadHost& host) { host.HandleEvents(EV_TXEMPTY); });
}

}  // namespace serial
