// The kernel32 backend: overlapped I/O on a COM device. Every request that is given
// up (stop, time-out) is cancelled and waited for before its OVERLAPPED record or
// buffer can go out of scope.
// Our headers first: windows.h defines the EV_, CE_ and parity names as macros.
#include "serial/comm_device.h"
#include "serial/port_names.h"

#include <cstring>

#include <windows.h>

namespace serial {
namespace {

static_assert(sizeof(DCB) == sizeof(Dcb));
static_assert(sizeof(COMSTAT) == sizeof(ComStat));

int LastError()
{
    return static_cast<int>(::GetLastError());
}
HANDLE H(NativeHandle h)
{
    return reinterpret_cast<HANDLE>(h);
}

class Win32CommDevice final : public CommDevice {
public:
    ~Win32CommDevice() override { Close(); }

    int Open(const std::string& path) override
    {
        // The device path stays "COMn"; only the name handed to CreateFile gets the prefix.
        handle_ = ::CreateFileA(Win32DevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
        return handle_ == INVALID_HANDLE_VALUE ? LastError() : 0;
    }

    void Close() override
    {
        if (handle_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

    int SetState(const Dcb& dcb) override
    {
        DCB native;
        std::memcpy(&native, &dcb, sizeof native);
        return ::SetCommState(handle_, &native) ? 0 : LastError();
    }

    int Setup(std::uint32_t inQueue, std::uint32_t outQueue) override
    {
        return ::SetupComm(handle_, inQueue, outQueue) ? 0 : LastError();
    }

    int SetTimeouts(const CommTimeouts& t) override
    {
        COMMTIMEOUTS native{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                            t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
        return ::SetCommTimeouts(handle_, &native) ? 0 : LastError();
    }

    int SetMask(std::uint32_t mask) override { return ::SetCommMask(handle_, mask) ? 0 : LastError(); }

    int ClearError(std::uint32_t& errors, ComStat& stat) override
    {
        DWORD e = 0;
        COMSTAT native{};
        if (!::ClearCommError(handle_, &e, &native))
            return LastError();
        errors = e;
        std::memcpy(&stat.Flags, &native, sizeof stat.Flags);  // the hold and end-of-file bit fields
        stat.cbInQue = native.cbInQue;
        stat.cbOutQue = native.cbOutQue;
        return 0;
    }

    WaitStatus WaitEvent(std::uint32_t& mask, TVaWaitEvent& stop, int& error) override
    {
        OVERLAPPED ov{};
        ov.hEvent = H(waitDone_.Handle());
        waitDone_.ResetEvent();
        DWORD events = 0;
        if (::WaitCommEvent(handle_, &events, &ov)) {
            mask = events;
            return WaitStatus::Events;
        }
        if (::GetLastError() != ERROR_IO_PENDING) {
            error = LastError();
            return WaitStatus::Failed;
        }
        TVaWaitEvent* wakers[2] = {&stop, &waitDone_};
        const int which = WaitForAny(wakers, 2, INFINITE);
        DWORD ignored = 0;
        if (which != 1) {
            // The request still writes into `events` and `ov`: end it and wait for it.
            // A new event mask ends a pending wait (the documented way; some drivers
            // and Wine do not cancel a wait on the line otherwise). The mask is set
            // again when the port is next opened.
            ::SetCommMask(handle_, 0);
            ::CancelIoEx(handle_, &ov);
            ::GetOverlappedResult(handle_, &ov, &ignored, TRUE);
            return WaitStatus::Stopped;
        }
        if (!::GetOverlappedResult(handle_, &ov, &ignored, FALSE)) {
            error = LastError();
            return WaitStatus::Failed;
        }
        mask = events;
        return WaitStatus::Events;
    }

    IoStatus Read(void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent& ioEvent,
                  std::uint32_t timeoutMs, int& error) override
    {
        OVERLAPPED ov{};
        ov.hEvent = H(ioEvent.Handle());
        ioEvent.ResetEvent();
        DWORD n = 0;
        if (!::ReadFile(handle_, buffer, count, &n, &ov) && ::GetLastError() != ERROR_IO_PENDING) {
            error = LastError();
            return IoStatus::Failed;
        }
        return Finish(ov, ioEvent, nullptr, timeoutMs, done, error);
    }

    IoStatus Write(const void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent& ioEvent,
                   TVaWaitEvent* stop, std::uint32_t timeoutMs, int& error) override
    {
        OVERLAPPED ov{};
        ov.hEvent = H(ioEvent.Handle());
        ioEvent.ResetEvent();
        DWORD n = 0;
        if (!::WriteFile(handle_, buffer, count, &n, &ov) && ::GetLastError() != ERROR_IO_PENDING) {
            error = LastError();
            return IoStatus::Failed;
        }
        return Finish(ov, ioEvent, stop, timeoutMs, done, error);
    }

private:
    IoStatus Finish(OVERLAPPED& ov, TVaWaitEvent& ioEvent, TVaWaitEvent* stop, std::uint32_t timeoutMs,
                    std::uint32_t& done, int& error)
    {
        TVaWaitEvent* wakers[2] = {&ioEvent, stop};
        const int which = WaitForAny(wakers, stop ? 2 : 1, timeoutMs);
        DWORD n = 0;
        if (which != 0) {
            ::CancelIoEx(handle_, &ov);
            ::GetOverlappedResult(handle_, &ov, &n, TRUE);
            done = n;  // what went out before the cancellation
            return which == 1 ? IoStatus::Stopped : IoStatus::TimedOut;
        }
        if (!::GetOverlappedResult(handle_, &ov, &n, FALSE)) {
            error = LastError();
            done = n;  // what went out before the failure
            return IoStatus::CompletionFailed;
        }
        done = n;
        return IoStatus::Done;
    }

public:
    // Surprise removal of a USB adapter makes every call on the open handle fail with
    // one of these.
    bool IsLineLost(int code) const override
    {
        switch (static_cast<DWORD>(code)) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
        case 433:  // ERROR_NO_SUCH_DEVICE, which not every SDK's headers name
        case ERROR_OPERATION_ABORTED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
            return true;
        default:
            return false;
        }
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    TVaWaitEvent waitDone_;
};

}  // namespace

std::unique_ptr<CommDevice> CreateSystemCommDevice()
{
    return std::make_unique<Win32CommDevice>();
}

}  // namespace serial
