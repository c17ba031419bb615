#include "serial/va_comm.h"

#include <algorithm>
#include <mutex>

#include "serial/comm_messages.h"
#include "serial/comm_threads.h"
#include "serial/elapsed.h"
#include "serial/os.h"
#include "systext/system_text.h"

namespace serial {

std::uint32_t EventMaskBit(TVaCommEvent event)
{
    static constexpr std::uint32_t kBits[] = {EV_BREAK,    EV_CTS,    EV_DSR,     EV_ERR,    EV_RING,
                                              EV_RLSD,     EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG, EV_PERR,
                                              EV_RX80FULL, EV_EVENT1, EV_EVENT2};
    return event >= ceBreak && event <= ceEvent2 ? kBits[event] : 0;
}

int WindowsThreadPriority(TThreadPriority priority)
{
    static constexpr int kValues[] = {-15, -2, -1, 0, 1, 2, 15};
    return priority >= tpIdle && priority <= tpTimeCritical ? kValues[priority] : 0;
}

// ---------------------------------------------------------------------------
// Component

TVaCustomComm::TVaCustomComm(MainThreadDispatcher& dispatcher, CommDeviceFactory factory)
    : dispatcher_(dispatcher),
      factory_(std::move(factory)),
      buffers_(std::make_unique<TVaBuffers>()),
      eventChars_(std::make_unique<TVaEventChars>()),
      flowControl_(std::make_unique<TVaFlowControl>()),
      ioEvent_(std::make_unique<TVaWaitEvent>())
{
    buffers_->OnChange = [this](TVaPersistent&) { BuffersChanged(); };
    eventChars_->OnChange = [this](TVaPersistent&) { EventCharsChanged(); };
    flowControl_->OnChange = [this](TVaPersistent&) { FlowControlChanged(); };
}

TVaCustomComm::~TVaCustomComm()
{
    destroying_ = true;
    *alive_ = false;
    Close();
    RemoveAllLinks();
}

void TVaCustomComm::Loaded()
{
    if (autoOpen_)
        Open();
}

std::string TVaCustomComm::DevicePath() const
{
    return FillFormat(deviceName_, {std::to_string(portNum_)});
}

void TVaCustomComm::Report(std::exception_ptr error) const
{
    if (OnException) {
        OnException(error);
    } else {
        ReportException(error);
    }
}

void TVaCustomComm::CheckClosed() const
{
    if (Active())
        throw EVaCommError(kMsgOpenPort);
}

void TVaCustomComm::RaiseCommError(const std::string& format, int code) const
{
    const std::string text = device_ ? device_->ErrorText(code) : systext::SystemErrorText(code);
    throw EVaCommError(FillFormat(format, {std::to_string(code), text}));
}

void TVaCustomComm::CheckResult(int error, const std::string& format) const
{
    if (error != 0)
        RaiseCommError(format, error);
}

void TVaCustomComm::Open()
{
    CheckClosed();
    CreateHandle();
    lineLost_ = false;
    ++openCount_;
    try {
        ApplyDCB();
        ApplyBuffers();
        ApplyTimeouts();
        ApplyEventMask();
        StartThreads();
    } catch (...) {
        StopThreads();
        DestroyHandle();
        throw;
    }
    DoOpen();
}

void TVaCustomComm::CreateHandle()
{
    std::unique_ptr<CommDevice> device = factory_ ? factory_() : CreateSystemCommDevice();
    const std::string path = DevicePath();
    const int error = device->Open(path);
    if (error != 0) {
        const std::string text = device->ErrorText(error);
        throw EVaCommError(FillFormat(kMsgOpen, {path, std::to_string(error), text}));
    }
    device_ = std::move(device);
}

void TVaCustomComm::DestroyHandle()
{
    if (!device_)
        return;
    unreportedErrors_ = 0;
    device_->Close();
    device_.reset();
}

void TVaCustomComm::Close()
{
    if (!Active())
        return;
    // No more steps for the main thread (this also releases a worker waiting in
    // Synchronize, e.g. when Close runs in a handler on its behalf), no more events;
    // then what is queued goes out, unless the line is gone.
    if (gate_)
        gate_->Close();
    if (eventThread_)
        eventThread_->Stop();
    // What has not left the driver within the limit is discarded, so that the
    // driver cannot hold the closing up.
    const std::uint32_t start = TickCount();
    bool written = !lineLost_;
    if (writeThread_ && written)
        written = writeThread_->Drain(kCloseDrainMs);
    {
        std::lock_guard lock(readLock_);
        StopThreads();
        if (device_)
            device_->FinishOutput(written ? TimeLeft(start, TickCount(), kCloseDrainMs) : 0);
        DestroyHandle();
    }
    DoClose();
}

void TVaCustomComm::DoOpen()
{
    if (!OnOpen)
        return;
    try {
        OnOpen(*this);
    } catch (...) {
        Report(std::current_exception());
    }
}

void TVaCustomComm::DoClose()
{
    if (!destroying_ && OnClose)
        OnClose(*this);
}

Dcb TVaCustomComm::BuildDcb() const
{
    return DcbFromSettings(
        {baudrate_, userBaudrate_, parity_, parityCheck_, databits_, stopbits_, options_, buffers_->ReadSize()},
        *eventChars_, *flowControl_);
}

void TVaCustomComm::ApplyDCB()
{
    if (!Active() || !updateDcb_)
        return;
    CheckResult(device_->SetState(BuildDcb()), kMsgDcb);
}

void TVaCustomComm::ApplyBuffers()
{
    if (!Active())
        return;
    CheckResult(device_->Setup(static_cast<std::uint32_t>(buffers_->ReadSize()),
                               static_cast<std::uint32_t>(buffers_->WriteSize())),
                kMsgBuffers);
}

void TVaCustomComm::ApplyTimeouts()
{
    if (!Active())
        return;
    CommTimeouts t{};
    t.ReadIntervalTimeout = kMaxDword;
    CheckResult(device_->SetTimeouts(t), kMsgTimeouts);
}

void TVaCustomComm::ApplyEventMask()
{
    eventMask_ = 0;
    for (int e = ceBreak; e <= ceEvent2; ++e) {
        if (monitorEvents_ & (1u << e))
            eventMask_ |= EventMaskBit(static_cast<TVaCommEvent>(e));
    }
    if (!directWrite_)
        eventMask_ &= ~EV_TXEMPTY;
    if (Active())
        CheckResult(device_->SetMask(eventMask_), kMsgEventMask);
}

void TVaCustomComm::StartThreads()
{
    gate_ = std::make_shared<SyncGate>();
    if (eventMask_ != 0) {
        eventThread_ = std::make_unique<TVaCommEventThread>(host_, *device_, gate_);
        eventThread_->Start(WindowsThreadPriority(eventPriority_));
    }
    if (!directWrite_) {
        writeThread_ = std::make_unique<TVaCommWriteThread>(host_, *device_, gate_, buffers_->WriteSize());
        writeThread_->Start(WindowsThreadPriority(writePriority_));
    }
}

void TVaCustomComm::StopThreads()
{
    if (eventThread_)
        eventThread_->Stop();
    if (writeThread_)
        writeThread_->Stop();
    if (gate_)
        gate_->Close();
    // Both threads leave at once: their waits end on the stop events and the gate.
    eventThread_.reset();
    writeThread_.reset();
    gate_.reset();
}

// --- setters ---------------------------------------------------------------

void TVaCustomComm::SetBaudrate(TVaBaudrate value)
{
    if (baudrate_ == value)
        return;
    baudrate_ = value;
    if (value != brUser)
        userBaudrate_ = 0;
    ApplyDCB();
}

void TVaCustomComm::SetUserBaudrate(std::int32_t value)
{
    if (userBaudrate_ == value)
        return;
    userBaudrate_ = value;
    baudrate_ = brUser;
    ApplyDCB();
}

void TVaCustomComm::SetParity(TVaParity value)
{
    if (parity_ == value)
        return;
    parity_ = value;
    ApplyDCB();
}

void TVaCustomComm::SetParityCheck(bool value)
{
    if (parityCheck_ == value)
        return;
    parityCheck_ = value;
    ApplyDCB();
}

void TVaCustomComm::SetDatabits(TVaDatabits value)
{
    if (databits_ == value)
        return;
    databits_ = value;
    ApplyDCB();
}

void TVaCustomComm::SetStopbits(TVaStopbits value)
{
    if (stopbits_ == value)
        return;
    stopbits_ = value;
    ApplyDCB();
}

void TVaCustomComm::SetOptions(TVaCommOptions value)
{
    if (options_ == value)
        return;
    options_ = value;
    ApplyDCB();
}

void TVaCustomComm::SetPortNum(std::int32_t value)
{
    CheckClosed();
    portNum_ = value < 0 ? 0 : value;
}

void TVaCustomComm::SetDeviceName(const std::string& value)
{
    CheckClosed();
    deviceName_ = value;
}

void TVaCustomComm::SetMonitorEvents(TVaCommEvents value)
{
    CheckClosed();
    monitorEvents_ = value;
}

void TVaCustomComm::SetBuffers(const TVaBuffers& value)
{
    CheckClosed();
    buffers_->Assign(value);
}

void TVaCustomComm::SetEventPriority(TThreadPriority value)
{
    if (eventPriority_ == value)
        return;
    eventPriority_ = value;
    if (eventThread_)
        eventThread_->SetPriority(WindowsThreadPriority(value));
}

void TVaCustomComm::SetWritePriority(TThreadPriority value)
{
    if (writePriority_ == value)
        return;
    writePriority_ = value;
    if (writeThread_)
        writeThread_->SetPriority(WindowsThreadPriority(value));
}

void TVaCustomComm::SetDirectWrite(bool value)
{
    CheckClosed();
    directWrite_ = value;
}

void TVaCustomComm::SetUpdateDCB(bool value)
{
    CheckClosed();
    updateDcb_ = value;
}

void TVaCustomComm::BuffersChanged()
{
    CheckClosed();
    ApplyBuffers();
    ApplyDCB();
}

// --- reading, writing, status -------------------------------------------------

std::int32_t TVaCustomComm::ReadBuf(void* buffer, std::int32_t count)
{
    if (!Active())
        return 0;
    std::lock_guard lock(readLock_);
    if (!Active() || lineLost_ || count <= 0)
        return 0;
    std::uint32_t done = 0;
    int error = 0;
    const IoStatus status = device_->Read(buffer, static_cast<std::uint32_t>(count), done, *ioEvent_,
                                          static_cast<std::uint32_t>(buffers_->ReadTimeout()), error);
    if (status == IoStatus::Failed) {
        if (CheckLineLost(*device_, error, kMsgRead))
            return 0;
        RaiseCommError(kMsgRead, error);
    }
    return status == IoStatus::Done ? static_cast<std::int32_t>(std::min<std::uint32_t>(done, count)) : 0;
}

bool TVaCustomComm::Enqueue(const void* bytes, std::int32_t n)
{
    return writeThread_->Enqueue(bytes, n, buffers_->WriteSize(), static_cast<std::uint32_t>(buffers_->WriteTimeout()));
}

std::int32_t TVaCustomComm::WriteBuf(const void* buffer, std::int32_t count)
{
    if (!Active() || lineLost_)
        return 0;  // a lost line is reported once, by OnLineLost
    if (count < 0)
        count = 0;
    if (!directWrite_) {
        if (!writeThread_)
            return 0;
        if (!Enqueue(buffer, count))
            throw EVaCommError(kMsgQueueFull);
        return count;
    }
    std::lock_guard lock(writeLock_);
    std::uint32_t done = 0;
    int error = 0;
    const IoStatus status = device_->Write(buffer, static_cast<std::uint32_t>(count), done, *ioEvent_, nullptr,
                                           static_cast<std::uint32_t>(buffers_->ReadTimeout()), error);
    if (status == IoStatus::Failed || status == IoStatus::CompletionFailed) {
        if (CheckLineLost(*device_, error, kMsgWrite))
            return 0;
        if (status == IoStatus::Failed)
            RaiseCommError(kMsgWrite, error);
    }
    // The bytes that went out, also when the write was cut short: the caller must not
    // send them again.
    return static_cast<std::int32_t>(std::min<std::uint32_t>(done, count));
}

bool TVaCustomComm::WriteChar(std::uint8_t byte)
{
    return WriteBuf(&byte, 1) == 1;
}

void TVaCustomComm::GetStatus(TVaCommStatus& status)
{
    std::lock_guard lock(readLock_);
    status = TVaCommStatus{};
    if (!Active() || lineLost_)
        return;
    if (const int error = device_->ClearError(status.Errors, status.Stat); error != 0) {
        status = TVaCommStatus{};
        if (CheckLineLost(*device_, error, kMsgStatus))
            return;
        RaiseCommError(kMsgStatus, error);
    }
    status.Errors |= unreportedErrors_;
    unreportedErrors_ = 0;
}

std::int32_t TVaCustomComm::InQueCount()
{
    if (!Active())
        return 0;
    TVaCommStatus status;
    GetStatus(status);
    // Asking for the queue count also clears the driver's error flags; keep them for the
    // next GetStatus so that errors arriving with data still reach OnError.
    std::lock_guard lock(readLock_);
    unreportedErrors_ |= status.Errors;
    return static_cast<std::int32_t>(status.Stat.cbInQue);
}

bool TVaCustomComm::CheckLineErrors()
{
    TVaCommStatus status;
    GetStatus(status);
    if (status.Errors != 0 && OnError) {
        try {
            OnError(*this, static_cast<std::int32_t>(status.Errors));
        } catch (...) {
            Report(std::current_exception());
        }
    }
    return status.Errors != 0;
}

bool TVaCustomComm::CheckLineLost(const CommDevice& device, int code, const char* format)
{
    if (!device.IsLineLost(code))
        return false;
    if (!lineLost_.load())
        LoseLine(FillFormat(format, {std::to_string(code), device.ErrorText(code)}));
    return true;
}

void TVaCustomComm::LoseLine(const std::string& detail)
{
    bool first = false;
    if (!lineLost_.compare_exchange_strong(first, true))
        return;
    const std::shared_ptr<bool> alive = alive_;
    const std::uint32_t opening = openCount_;
    dispatcher_.Post([this, alive, opening, detail] {
        if (!*alive || !Active() || opening != openCount_)
            return;
        Close();
        if (!*alive || !OnLineLost)
            return;
        try {
            OnLineLost(*this, detail);
        } catch (...) {
            if (*alive)
                Report(std::current_exception());
        }
    });
}

// --- dispatch (main thread) ---------------------------------------------------

void TVaCustomComm::DispatchEvents(std::uint32_t mask)
{
    // A handler may close or even destroy the component; nothing of it is touched after that.
    const std::shared_ptr<bool> alive = alive_;
    try {
        if (mask & EV_RXCHAR) {
            HandleRxChar();
            if (!*alive)
                return;
            mask &= ~EV_RXCHAR;
        }
        if (mask != 0)
            HandleEvents(mask);
    } catch (...) {
        if (*alive)
            Report(std::current_exception());
    }
}

void TVaCustomComm::HandleRxChar()
{
    const std::int32_t n = InQueCount();
    if (n <= 0)
        return;
    if (!links_.empty()) {
        std::vector<std::uint8_t> block(static_cast<std::size_t>(n));
        const std::int32_t got = ReadBuf(block.data(), n);
        NotifyLinksRxBuf(block.data(), got);
    } else if (OnRxChar) {
        OnRxChar(*this, n);
    }
}

void TVaCustomComm::HandleEvents(std::uint32_t mask)
{
    const std::shared_ptr<bool> alive = alive_;
    if (mask & EV_ERR) {
        CheckLineErrors();
        if (!*alive)
            return;
    }
    if (!links_.empty()) {
        NotifyLinksEvent(mask);
        if (!*alive)
            return;
    }
    const std::pair<std::uint32_t, NotifyEvent TVaCustomComm::*> handlers[] = {
        {EV_RXFLAG, &TVaCustomComm::OnRxFlag},     {EV_CTS, &TVaCustomComm::OnCts},
        {EV_DSR, &TVaCustomComm::OnDsr},           {EV_RING, &TVaCustomComm::OnRing},
        {EV_RLSD, &TVaCustomComm::OnRlsd},         {EV_TXEMPTY, &TVaCustomComm::OnTxEmpty},
        {EV_BREAK, &TVaCustomComm::OnBreak},       {EV_PERR, &TVaCustomComm::OnPErr},
        {EV_RX80FULL, &TVaCustomComm::OnRx80Full}, {EV_EVENT1, &TVaCustomComm::OnEvent1},
        {EV_EVENT2, &TVaCustomComm::OnEvent2}};
    for (const auto& [bit, member] : handlers) {
        if ((mask & bit) && this->*member) {
            const NotifyEvent handler = this->*member;
            handler(*this);
            if (!*alive)
                return;
        }
    }
}

void TVaCustomComm::NotifyLinksEvent(std::uint32_t mask)
{
    if (!LinksEnabled)
        return;
    for (TVaCommLink* link : std::vector<TVaCommLink*>(links_)) {
        if (link->Active && link->Target)
            link->Target->LinkEvent(mask);
    }
}

void TVaCustomComm::NotifyLinksRxBuf(const std::uint8_t* data, std::int32_t count)
{
    if (LinksEnabled) {
        for (TVaCommLink* link : std::vector<TVaCommLink*>(links_)) {
            if (link->Active && link->Target)
                link->Target->LinkRxBuf(data, count);
        }
    }
    if (OnRxBuf)
        OnRxBuf(*this, data, count);
}

void TVaCustomComm::AddLink(TVaCommLink& link)
{
    if (std::find(links_.begin(), links_.end(), &link) != links_.end())
        return;
    link.Comm = this;
    links_.push_back(&link);
}

void TVaCustomComm::RemoveLink(TVaCommLink& link)
{
    const auto it = std::find(links_.begin(), links_.end(), &link);
    if (it == links_.end())
        return;
    link.Comm = nullptr;
    links_.erase(it);
}

void TVaCustomComm::RemoveAllLinks()
{
    while (!links_.empty())
        RemoveLink(*links_.back());
}

}  // namespace serial
