// Thin wrappers around the kernel objects the component and its threads wait on:
// manual-reset events and critical sections. On Windows they are Win32 events and
// critical sections; on POSIX an event is an eventfd, so a device backend can poll
// it together with the device.
#pragma once

#include <cstdint>
#include <memory>

namespace serial {

// Native handle of a waitable object: a HANDLE on Windows, a file descriptor on POSIX.
using NativeHandle = std::intptr_t;

enum class TWaitResult { wrSignaled = 0, wrTimeout = 1, wrAbandoned = 2, wrError = 3 };

class TVaHandleObject {
public:
    TVaHandleObject(const TVaHandleObject&) = delete;
    TVaHandleObject& operator=(const TVaHandleObject&) = delete;
    virtual ~TVaHandleObject();

    // Waits up to `milliseconds` (kInfinite: without limit) for the object.
    TWaitResult WaitFor(std::uint32_t milliseconds);
    void SetEvent();
    void ResetEvent();

    NativeHandle Handle() const { return handle_; }
    int LastError() const { return lastError_; }

protected:
    explicit TVaHandleObject(NativeHandle handle) : handle_(handle) {}

private:
    NativeHandle handle_;
    int lastError_ = 0;
};

class TVaEvent : public TVaHandleObject {
protected:
    using TVaHandleObject::TVaHandleObject;
};

// An unnamed manual-reset event, initially clear.
class TVaWaitEvent : public TVaEvent {
public:
    TVaWaitEvent();
};

// Waits for the first of `count` events to be set. Returns its index, -1 on time-out,
// -2 on failure.
int WaitForAny(TVaWaitEvent* const* events, int count, std::uint32_t milliseconds);

// A recursive lock (a Win32 critical section or a recursive pthread mutex).
class TVaCriticalSection {
public:
    TVaCriticalSection();
    ~TVaCriticalSection();
    TVaCriticalSection(const TVaCriticalSection&) = delete;
    TVaCriticalSection& operator=(const TVaCriticalSection&) = delete;
    void Enter();
    void Leave();
    // BasicLockable, for std::lock_guard.
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace serial
