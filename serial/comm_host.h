// What the worker threads of an open port (comm_threads.h) need of the component that
// runs them, and nothing more. TVaCustomComm implements it in a private member; the
// workers know no other part of the component. Which thread may call what is in
// comm_threads.h.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "serial/kernel_objects.h"

namespace serial {

class CommDevice;

class CommThreadHost {
public:
    // Queues `step` for the main thread and returns at once (the component's dispatcher).
    virtual void PostToMainThread(std::function<void()> step) = 0;
    // The write lock: the write queue and its data event are guarded by it.
    virtual TVaCriticalSection& WriteLock() = 0;
    // True from the first failure of a lost line until the port is closed by it.
    virtual bool LineLost() const = 0;
    // When `code` means the device has gone: starts the lost-line episode (once) and
    // returns true. `format` is the message of the failing call.
    virtual bool CheckLineLost(const CommDevice& device, int code, const char* format) = 0;
    // Starts the lost-line episode (once) with `detail` for OnLineLost.
    virtual void LoseLine(const std::string& detail) = 0;
    // Main thread: the received bytes and line events of one pass of the event thread.
    virtual void DispatchEvents(std::uint32_t mask) = 0;
    // Main thread: events of the write thread (EV_TXEMPTY, EV_ERR).
    virtual void HandleEvents(std::uint32_t mask) = 0;
    // Main thread: an exception from a handler goes to the component's exception report.
    virtual void Report(std::exception_ptr error) const = 0;

protected:
    // Never deleted through the interface.
    ~CommThreadHost() = default;
};

}  // namespace serial
