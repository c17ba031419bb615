// A scripted stand-in for a serial device, for tests: calls can be made to fail with
// chosen system error codes, events and received bytes are injected by the test,
// reads and writes can stall, and everything the component asked for is recorded.
// The shared ScriptedLine outlives the device the component owns.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "serial/comm_device.h"
#include "serial/dispatcher.h"

namespace serial {

enum class ScriptedCall { Open, SetState, Setup, SetTimeouts, SetMask, ClearError, WaitEvent, Read, Write };

class ScriptedLine {
public:
    // Makes `call` fail with `error` the next `times` times (-1: always), once
    // `after` more such calls have succeeded.
    void Fail(ScriptedCall call, int error, int times = -1, int after = 0);
    // A peer at the other end of the line: each byte written is handed to it,
    // and the bytes it gives back arrive as Receive would make them arrive.
    void Answer(std::function<std::vector<std::uint8_t>(std::uint8_t written)> peer);
    // Bytes arriving from the line; raises EV_RXCHAR when it is monitored.
    void Receive(const std::vector<std::uint8_t>& bytes);
    // Events to report from the next wait (only those in the mask are kept).
    void RaiseEvents(std::uint32_t events);
    // Line errors to report from the next ClearError; raises EV_ERR.
    void AddLineErrors(std::uint32_t errors);
    // ClearError reports this many bytes more than are queued (a driver that overstates).
    void OverstateQueue(std::uint32_t extra);
    // While held, waits do not return, so that what is raised meanwhile forms one batch.
    void HoldEvents(bool hold);
    // A read that never completes (times out and is cancelled).
    void StallReads(bool stall);
    // A write that never completes until stopped or timed out.
    void StallWrites(bool stall);
    // Each write takes at most this many bytes (0: all).
    void LimitWriteChunk(std::uint32_t bytes);
    // A write whose completion fails with `error`, `times` times, after `written`
    // bytes of it have gone out.
    void FailWriteCompletion(int error, int times, std::uint32_t written = 0);
    // The device goes away: from now on every call fails with `error` (opening with
    // ENOENT) and the device classifies the failures as a lost line. A stalled write
    // fails at once; a pending wait too when `failWaits` (a hang-up), otherwise it
    // stays pending as a quiet driver's would. Plug brings the device back.
    void Unplug(int error, bool failWaits = true);
    void Plug();

    // What the component did.
    std::string openedPath() const;
    bool isOpen() const;
    int openCount() const;
    std::vector<Dcb> states() const;
    std::uint32_t mask() const;
    std::uint32_t setupIn() const;
    std::uint32_t setupOut() const;
    CommTimeouts timeouts() const;
    std::vector<std::uint8_t> written() const;
    int writeCalls() const;
    int cancelledReads() const;
    int cancelledWrites() const;
    int waitsInProgress() const;
    std::vector<ScriptedCall> calls() const;

private:
    friend class ScriptedCommDevice;
    // Returns the scripted error for the call (0: none) and logs it.
    int Take(ScriptedCall call);
    void Wake();

    mutable std::mutex mutex_;
    struct Failure {
        int error = 0;
        int times = 0;  // left; -1: always
        int after = 0;  // calls still to succeed first
    };
    std::map<ScriptedCall, Failure> failures_;
    std::function<std::vector<std::uint8_t>(std::uint8_t)> peer_;
    std::vector<ScriptedCall> calls_;
    std::string path_;
    bool open_ = false;
    int openCount_ = 0;
    std::vector<Dcb> states_;
    std::uint32_t mask_ = 0;
    std::uint32_t pending_ = 0;
    std::uint32_t errors_ = 0;
    std::uint32_t setupIn_ = 0, setupOut_ = 0;
    CommTimeouts timeouts_{};
    std::deque<std::uint8_t> input_;
    std::vector<std::uint8_t> written_;
    int writeCalls_ = 0;
    bool holdEvents_ = false;
    std::uint32_t overstate_ = 0;
    bool stallReads_ = false;
    bool stallWrites_ = false;
    std::uint32_t writeChunk_ = 0;
    int completionError_ = 0;
    int completionTimes_ = 0;
    std::uint32_t completionWritten_ = 0;
    bool unplugged_ = false;
    int unplugError_ = 0;
    bool failWaits_ = false;
    int cancelledReads_ = 0;
    int cancelledWrites_ = 0;
    int waiting_ = 0;
    TVaWaitEvent changed_;        // wakes the event wait
    TVaWaitEvent writesChanged_;  // wakes a stalled write (separate: each waiter resets its own)
};

class ScriptedCommDevice final : public CommDevice {
public:
    explicit ScriptedCommDevice(std::shared_ptr<ScriptedLine> line) : line_(std::move(line)) {}
    ~ScriptedCommDevice() override { Close(); }
    int Open(const std::string& path) override;
    int SetState(const Dcb& dcb) override;
    int Setup(std::uint32_t inQueue, std::uint32_t outQueue) override;
    int SetTimeouts(const CommTimeouts& timeouts) override;
    int SetMask(std::uint32_t mask) override;
    int ClearError(std::uint32_t& errors, ComStat& stat) override;
    void Close() override;
    WaitStatus WaitEvent(std::uint32_t& mask, TVaWaitEvent& stop, int& error) override;
    IoStatus Read(void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent& ioEvent,
                  std::uint32_t timeoutMs, int& error) override;
    IoStatus Write(const void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent& ioEvent,
                   TVaWaitEvent* stop, std::uint32_t timeoutMs, int& error) override;
    bool IsLineLost(int code) const override;

private:
    std::shared_ptr<ScriptedLine> line_;
};

// The test's own loop, with a Post that can be made to fail once (as when no
// memory is left for the step), to see that no worker thread dies of it.
class FailingDispatcher final : public MainThreadDispatcher {
public:
    explicit FailingDispatcher(EventLoopDispatcher& loop) : loop_(loop) {}
    void FailNextPost() { failNext_ = true; }
    void Post(std::function<void()> task) override
    {
        if (failNext_.exchange(false))
            throw std::bad_alloc();
        loop_.Post(std::move(task));
    }

private:
    EventLoopDispatcher& loop_;
    std::atomic<bool> failNext_{false};
};

// A factory for TVaCustomComm that hands out devices of `line`.
CommDeviceFactory ScriptedFactory(std::shared_ptr<ScriptedLine> line);

}  // namespace serial
