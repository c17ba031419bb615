// The device interface under TVaCustomComm: one open communications device with the
// few operations the component needs. Implementations: termios (POSIX), kernel32
// (Windows) and a scripted double for tests. Calls from the event thread (WaitEvent),
// the write thread (Write) and the main thread (the rest) may overlap; an
// implementation must allow that.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/comm_types.h"
#include "serial/kernel_objects.h"

namespace serial {

enum class WaitStatus {
    Events,   // `mask` holds the events that happened
    Stopped,  // the stop event was set; the wait has been cancelled and has ended
    Failed,   // the wait could not be started; `error` holds the system code
};

enum class IoStatus {
    Done,              // `done` bytes were transferred
    TimedOut,          // not complete in time; the request was cancelled before return
    Stopped,           // the stop event was set; the request was cancelled before return
    Failed,            // the request could not be started; `error` holds the system code
    CompletionFailed,  // the request started but ended in failure; `error` holds the code
};
// Whatever the status, `done` is the number of bytes that were transferred: a write
// that was cut short, failed or cancelled part-way reports the part that went out.

class CommDevice {
public:
    virtual ~CommDevice() = default;

    // Each returns 0 or the system error code of the failing call.
    virtual int Open(const std::string& path) = 0;  // read/write, exclusive (no sharing)
    virtual int SetState(const Dcb& dcb) = 0;
    virtual int Setup(std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual int SetTimeouts(const CommTimeouts& timeouts) = 0;
    virtual int SetMask(std::uint32_t mask) = 0;
    virtual int ClearError(std::uint32_t& errors, ComStat& stat) = 0;
    // Closes the device; harmless when it is not open.
    virtual void Close() = 0;
    // Before closing: lets what the driver still holds to send leave the line for at
    // most `timeoutMs`, then discards what is left, so that closing never waits on the
    // driver (0: discard at once). Does nothing where closing does not wait.
    virtual void FinishOutput(std::uint32_t timeoutMs);

    // Waits for one of the monitored events, or until `stop` is set.
    virtual WaitStatus WaitEvent(std::uint32_t& mask, TVaWaitEvent& stop, int& error) = 0;

    // Reads what is queued, at most `count` bytes. `ioEvent` is the completion event;
    // waits for completion at most `timeoutMs`.
    virtual IoStatus Read(void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent& ioEvent,
                          std::uint32_t timeoutMs, int& error) = 0;

    // Writes `count` bytes. Waits for completion at most `timeoutMs` (kInfinite: without
    // limit) and, when `stop` is given, until it is set.
    virtual IoStatus Write(const void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent& ioEvent,
                           TVaWaitEvent* stop, std::uint32_t timeoutMs, int& error) = 0;

    // The system's text for an error code.
    virtual std::string ErrorText(int code) const;

    // Whether a failure with `code` on the open device means that the device has gone
    // (adapter unplugged, line hung up): it will not work again until it is reopened.
    virtual bool IsLineLost(int code) const;
};

using CommDeviceFactory = std::function<std::unique_ptr<CommDevice>()>;

// The backend of the operating system the program was built for.
std::unique_ptr<CommDevice> CreateSystemCommDevice();

}  // namespace serial
