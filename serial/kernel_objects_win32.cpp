#include "serial/kernel_objects.h"

#include <stdexcept>
#include <vector>

#include <windows.h>

namespace serial {
namespace {

HANDLE H(NativeHandle h)
{
    return reinterpret_cast<HANDLE>(h);
}

NativeHandle NewEvent()
{
    HANDLE h = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!h)
        throw std::runtime_error("CreateEventA failed");
    return reinterpret_cast<NativeHandle>(h);
}

}  // namespace

TVaHandleObject::~TVaHandleObject()
{
    ::CloseHandle(H(handle_));
}

TWaitResult TVaHandleObject::WaitFor(std::uint32_t milliseconds)
{
    switch (::WaitForSingleObject(H(handle_), milliseconds)) {
    case WAIT_OBJECT_0:
        return TWaitResult::wrSignaled;
    case WAIT_TIMEOUT:
        return TWaitResult::wrTimeout;
    case WAIT_ABANDONED:
        return TWaitResult::wrAbandoned;
    case WAIT_FAILED:
        lastError_ = static_cast<int>(::GetLastError());
        return TWaitResult::wrError;
    default:
        return TWaitResult::wrError;
    }
}

void TVaHandleObject::SetEvent()
{
    ::SetEvent(H(handle_));
}
void TVaHandleObject::ResetEvent()
{
    ::ResetEvent(H(handle_));
}

TVaWaitEvent::TVaWaitEvent() : TVaEvent(NewEvent()) {}

int WaitForAny(TVaWaitEvent* const* events, int count, std::uint32_t milliseconds)
{
    std::vector<HANDLE> handles(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        handles[i] = H(events[i]->Handle());
    const DWORD r = ::WaitForMultipleObjects(static_cast<DWORD>(count), handles.data(), FALSE, milliseconds);
    if (r == WAIT_TIMEOUT)
        return -1;
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + static_cast<DWORD>(count))
        return static_cast<int>(r - WAIT_OBJECT_0);
    return -2;
}

struct TVaCriticalSection::Impl {
    CRITICAL_SECTION section;
};

TVaCriticalSection::TVaCriticalSection() : impl_(std::make_unique<Impl>())
{
    ::InitializeCriticalSection(&impl_->section);
}
TVaCriticalSection::~TVaCriticalSection()
{
    ::DeleteCriticalSection(&impl_->section);
}
void TVaCriticalSection::Enter()
{
    ::EnterCriticalSection(&impl_->section);
}
void TVaCriticalSection::Leave()
{
    ::LeaveCriticalSection(&impl_->section);
}

}  // namespace serial
