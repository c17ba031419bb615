// The two worker threads of an open port, their write queue, and the gate through
// which they run steps on the main thread. Internal to the component (va_comm.cpp).
// Of the component the workers know only its host interface, CommThreadHost
// (comm_host.h), which TVaCustomComm implements; the names below are its members.
//
// Threading contract
//
// Threads and what each owns
// - Main thread: the component (TVaCustomComm) and everything in it: the settings, the
//   device object (created by Open, destroyed by Close), the two thread objects and the
//   gate, the links, the event mask, the handlers. It constructs and destroys the
//   component and makes every call of its API; every published event fires on it.
// - Event thread (TVaCommEventThread; while open and the event mask is not 0): its
//   WaitEvent (the stop event of its waits) and the mask of the pass it is in. It
//   calls nothing of the device but WaitEvent.
// - Write thread (TVaCommWriteThread; while open and DirectWrite is off): the write
//   queue (shared with writers under the write lock), DataEvent (set while the queue
//   holds bytes), StopEvent, the event of its own writes and the drained event. It
//   calls nothing of the device but Write.
//   Both threads hold a reference to the device object; it outlives them, because
//   Close destroys it only after joining them.
//
// Locks and shared members
// - Write lock (TVaCustomComm::writeLock_, to the workers WriteLock(); recursive): the
//   queue's contents and Count together with DataEvent: Enqueue's append, the write
//   thread's snapshot of Count and Data, its Remove and the set or reset of DataEvent
//   that goes with it (tested and cleared under the lock, so an Enqueue between the two
//   keeps its DataEvent); and the whole of a direct write in WriteBuf.
// - Read lock (TVaCustomComm::readLock_, recursive): ReadBuf, GetStatus and the error
//   bits InQueCount keeps back, and in Close the stopping and joining of the threads,
//   FinishOutput and the closing of the device. No worker takes it. The component
//   never holds both locks.
// - Without a lock: the queue's Count, read by a writer polling for room (atomic);
//   the terminated flags, the drain request and the lost-line flag (atomics); the
//   opening count and the alive flag's pointer, which workers only read and which do
//   not change while the workers run.
// - SyncGate::mutex: the gate's closed flag and whether each handed step has run.
//
// What the main thread may call while the threads run
// - Everything of the component's API: setters (a changed priority goes to the running
//   thread at once; a changed DCB goes to the device, whose calls may overlap those of
//   the workers), ReadBuf, GetStatus, InQueCount, CheckLineErrors, WriteBuf and
//   WriteChar (a queued write only appends under the write lock: Enqueue polls for
//   room at most Buffers.WriteTimeout ms and copes with concurrent writers), Close and
//   destruction, also from a handler run on behalf of a worker.
//
// Stopping: Close (main thread)
// 1. Closes the gate: no more steps of the workers run, and a worker waiting in
//    Synchronize is released (this is what makes Close from a worker's step safe).
// 2. Stops the event thread: a pending wait is cancelled by the device and ends.
// 3. Unless the line is lost, lets the write thread write out what is queued, for at
//    most TVaCustomComm::kCloseDrainMs (Drain); an emptied queue fires nothing then.
// 4. Under the read lock: sets both stop events (a write in progress is cancelled),
//    joins both threads, lets the driver send what it holds in the time left and
//    closes the device. Every wait of a worker ends on its stop event or the gate, so
//    the joins are bounded; no pending request outlives its storage.
//
// What crosses to the main thread through the dispatcher (PostToMainThread)
// - Synchronize (the worker waits until the step has run or the gate closes): the event
//   thread's DispatchEvents(mask) for each batch of line events; the write thread's
//   HandleEvents(EV_TXEMPTY) when its queue has been written out, and
//   HandleEvents(EV_ERR) when a write could not be started. An exception from those
//   two goes to the component's exception report (Report); the thread carries on.
// - Posted without waiting, from whichever thread sees it first (CheckLineLost): the
//   step of a lost line, which closes the port and fires OnLineLost once. It does
//   nothing when the component has been destroyed or opened again since. A worker
//   whose own code throws (no memory for a step) ends and starts that episode too,
//   with the exception's text as the detail: nothing leaves a worker thread.
// A step finds the gate open only while the component is alive and open: steps and
// Close both run on the main thread, and Close closes the gate first.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "serial/comm_device.h"
#include "serial/comm_host.h"
#include "serial/kernel_objects.h"

namespace serial {

// The write queue: a block of fixed capacity.
class TVaCommBuffer {
public:
    explicit TVaCommBuffer(std::int32_t capacity);
    std::uint8_t* Data() { return data_.data(); }
    std::int32_t Capacity() const { return static_cast<std::int32_t>(data_.size()); }
    std::int32_t Count() const { return count_.load(std::memory_order_acquire); }
    // Copies n bytes behind those held; the caller guarantees room.
    void Append(const void* bytes, std::int32_t n);
    // Drops the first n bytes.
    void Remove(std::int32_t n);

private:
    std::vector<std::uint8_t> data_;
    // Read without the lock by a writer polling for room.
    std::atomic<std::int32_t> count_{0};
};

// Synchronize: a worker hands a step to the main thread and waits for it. Close
// closes the gate, which releases every waiting worker and turns steps not yet run
// into no-ops; steps run only on the main thread, where Close also runs, so a step
// that finds the gate open runs against a live, open component.
struct SyncGate {
    std::mutex mutex;
    std::condition_variable done;
    bool closed = false;

    void Close();
};

class TVaCommWorker {
public:
    TVaCommWorker(CommThreadHost& host, CommDevice& device, std::shared_ptr<SyncGate> gate)
        : host_(host), device_(device), gate_(std::move(gate))
    {
    }
    virtual ~TVaCommWorker() { Join(); }
    TVaCommWorker(const TVaCommWorker&) = delete;
    TVaCommWorker& operator=(const TVaCommWorker&) = delete;

    void Start(int priority);
    void SetPriority(int priority);
    void Join();

protected:
    virtual void Execute() = 0;
    // Runs `step` on the main thread and waits; false when the port closed first.
    bool Synchronize(const std::function<void()>& step);
    // Runs a step on the main thread; exceptions there go to the exception report.
    void SyncStep(const std::function<void(CommThreadHost&)>& step);
    CommThreadHost& host_;
    CommDevice& device_;
    std::shared_ptr<SyncGate> gate_;
    std::atomic<bool> terminated_{false};

private:
    std::thread thread_;
    std::uintptr_t token_ = 0;
};

class TVaCommEventThread : public TVaCommWorker {
public:
    using TVaCommWorker::TVaCommWorker;
    ~TVaCommEventThread() override { Join(); }
    void Stop();

protected:
    void Execute() override;

private:
    TVaWaitEvent waitEvent_;
};

class TVaCommWriteThread : public TVaCommWorker {
public:
    TVaCommWriteThread(CommThreadHost& host, CommDevice& device, std::shared_ptr<SyncGate> gate, std::int32_t capacity)
        : TVaCommWorker(host, device, std::move(gate)), queue_(capacity)
    {
    }
    ~TVaCommWriteThread() override { Join(); }
    void Stop() { stopEvent_.SetEvent(); }
    // Lets the thread write out what is queued; returns when the queue is empty, the
    // line is lost, or after `timeoutMs`: whether the queue was written out.
    bool Drain(std::uint32_t timeoutMs);

    // Called by writers; polls for room at most `timeoutMs`.
    bool Enqueue(const void* bytes, std::int32_t n, std::int32_t limit, std::uint32_t timeoutMs);

protected:
    void Execute() override;

private:
    bool WaitForRoom(std::int32_t n, std::int32_t limit, std::uint32_t timeoutMs);
    bool QueueEmpty();
    // Removes bytes that need no writing (any more) without reporting an empty queue.
    void Consume(std::int32_t n);
    void Completion(std::int32_t written);

    TVaCommBuffer queue_;
    TVaWaitEvent dataEvent_;
    TVaWaitEvent stopEvent_;
    TVaWaitEvent writeDoneEvent_;
    TVaWaitEvent drained_;
    std::atomic<bool> draining_{false};
};

}  // namespace serial
