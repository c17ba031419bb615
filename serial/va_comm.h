// The serial port component: owns one communications device, its line settings, an
// event thread that hands line events to the main thread and a write thread that
// drains a write queue to the device.
//
// Threading, as a caller sees it
// - Main thread: construction and destruction, every setter, Open, Close, ReadBuf,
//   GetStatus, InQueCount, CheckLineErrors, WriteBuf/WriteChar, and every published
//   event (OnRxChar, OnError, OnTxEmpty, ...). Events reach the main thread through
//   the MainThreadDispatcher given to the constructor.
// - The event thread hands each batch of line events to the main thread and waits
//   until it has been dispatched; the write thread drains the write queue and reports
//   an emptied queue (EV_TXEMPTY) or a failed write (EV_ERR) the same way.
// - Close stops and joins both threads before it closes the device, and may be called
//   from an event handler, also from one run on behalf of a worker.
// - A lost line (the device has gone: a hang-up, or a wait, read, write or status
//   query failing with a code the backend classifies so) is one episode: from its
//   first failure, on whichever thread, the write queue is dropped, reads, writes and
//   status queries return 0, false or a zero record without raising, and the workers
//   stop trying. A step posted to the main thread then closes the port and fires
//   OnLineLost once. Opening the port again starts afresh.
// The full contract (what each thread owns, the write and read locks, how Close stops
// the threads) is at the top of serial/comm_threads.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "serial/comm_device.h"
#include "serial/comm_host.h"
#include "serial/comm_messages.h"  // SetExceptionReport, ReportException
#include "serial/comm_types.h"
#include "serial/dispatcher.h"
#include "serial/kernel_objects.h"
#include "serial/va_settings.h"

namespace serial {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
enum TVaCommEvent {
    ceBreak,
    ceCts,
    ceDsr,
    ceError,
    ceRing,
    ceRlsd,
    ceRxChar,
    ceTxEmpty,
    ceRxFlag,
    cePErr,
    ceRx80Full,
    ceEvent1,
    ceEvent2
};

// Set of TVaCommEvent in 16 bits: bit i for member i.
using TVaCommEvents = std::uint16_t;

constexpr TVaCommEvents EventBit(TVaCommEvent e)
{
    return static_cast<TVaCommEvents>(1u << e);
}
inline constexpr TVaCommEvents kDefaultMonitorEvents = 200;  // ceError, ceRxChar, ceTxEmpty

std::uint32_t EventMaskBit(TVaCommEvent event);       // the EV_ bit
int WindowsThreadPriority(TThreadPriority priority);  // -15, -2, -1, 0, 1, 2, 15

// The component's exception.
class EVaCommError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TVaCustomComm;

// What a link delivers to: received blocks and event masks.
class TVaLinkTarget {
public:
    virtual ~TVaLinkTarget() = default;
    virtual void LinkRxBuf(const std::uint8_t* data, std::int32_t count) = 0;
    virtual void LinkEvent(std::uint32_t mask) = 0;
};

// A link attaching a target to a component. Owned by whoever attaches it.
struct TVaCommLink {
    bool Active = true;
    TVaCustomComm* Comm = nullptr;
    TVaLinkTarget* Target = nullptr;
};

class TVaCommWorker;
class TVaCommEventThread;
class TVaCommWriteThread;
struct SyncGate;

class TVaCustomComm {
public:
    using NotifyEvent = std::function<void(TVaCustomComm& sender)>;
    using ErrorEvent = std::function<void(TVaCustomComm& sender, std::int32_t errors)>;
    using RxCharEvent = std::function<void(TVaCustomComm& sender, std::int32_t count)>;
    using RxBufEvent = std::function<void(TVaCustomComm& sender, const std::uint8_t* data, std::int32_t count)>;
    // `detail`: the failing call and the system's text, e.g. "Write error (5), Input/output error".
    using LineLostEvent = std::function<void(TVaCustomComm& sender, const std::string& detail)>;

    // How long Close waits for the write thread to send what is queued.
    static constexpr std::uint32_t kCloseDrainMs = 250;

    // `dispatcher` must outlive the component. Without a factory the OS backend is used.
    explicit TVaCustomComm(MainThreadDispatcher& dispatcher, CommDeviceFactory factory = {});
    virtual ~TVaCustomComm();
    TVaCustomComm(const TVaCustomComm&) = delete;
    TVaCustomComm& operator=(const TVaCustomComm&) = delete;

    // After the settings have been loaded: opens when AutoOpen is set.
    virtual void Loaded();

    void Open();
    void Close();
    bool Active() const { return device_ != nullptr; }
    // True from the first failure of a lost line until the port is closed by it.
    bool LineLost() const { return lineLost_.load(); }
    std::string DevicePath() const;

    std::int32_t ReadBuf(void* buffer, std::int32_t count);
    std::int32_t WriteBuf(const void* buffer, std::int32_t count);
    bool WriteChar(std::uint8_t byte);
    void GetStatus(TVaCommStatus& status);
    std::int32_t InQueCount();
    bool CheckLineErrors();

    // Links (nothing in the program attaches one).
    void AddLink(TVaCommLink& link);
    void RemoveLink(TVaCommLink& link);
    void RemoveAllLinks();
    bool LinksEnabled = true;

    // The event mask computed by the last Open.
    std::uint32_t EventMask() const { return eventMask_; }
    // Unless set, exceptions from handlers go to the process-wide ReportException.
    ExceptionReport OnException;

protected:
    // Properties; TVaComm publishes them.
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool value) { autoOpen_ = value; }
    TVaBaudrate Baudrate() const { return baudrate_; }
    void SetBaudrate(TVaBaudrate value);
    TVaParity Parity() const { return parity_; }
    void SetParity(TVaParity value);
    bool ParityCheck() const { return parityCheck_; }
    void SetParityCheck(bool value);
    TVaDatabits Databits() const { return databits_; }
    void SetDatabits(TVaDatabits value);
    TVaStopbits Stopbits() const { return stopbits_; }
    void SetStopbits(TVaStopbits value);
    TVaEventChars& EventChars() { return *eventChars_; }
    void SetEventChars(const TVaEventChars& value) { eventChars_->Assign(value); }
    TVaFlowControl& FlowControl() { return *flowControl_; }
    void SetFlowControl(const TVaFlowControl& value) { flowControl_->Assign(value); }
    TVaCommOptions Options() const { return options_; }
    void SetOptions(TVaCommOptions value);
    std::int32_t PortNum() const { return portNum_; }
    void SetPortNum(std::int32_t value);
    const std::string& DeviceName() const { return deviceName_; }
    void SetDeviceName(const std::string& value);
    TVaCommEvents MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TVaCommEvents value);
    TVaBuffers& Buffers() { return *buffers_; }
    void SetBuffers(const TVaBuffers& value);
    TThreadPriority EventPriority() const { return eventPriority_; }
    void SetEventPriority(TThreadPriority value);
    TThreadPriority WritePriority() const { return writePriority_; }
    void SetWritePriority(TThreadPriority value);
    bool DirectWrite() const { return directWrite_; }
    void SetDirectWrite(bool value);
    bool UpdateDCB() const { return updateDcb_; }
    void SetUpdateDCB(bool value);
    std::int32_t UserBaudrate() const { return userBaudrate_; }
    void SetUserBaudrate(std::int32_t value);

    // Events.
    NotifyEvent OnOpen, OnClose, OnCts, OnDsr, OnRlsd, OnRing, OnBreak;
    ErrorEvent OnError;
    RxCharEvent OnRxChar;
    RxBufEvent OnRxBuf;
    NotifyEvent OnRxFlag, OnTxEmpty, OnPErr, OnRx80Full, OnEvent1, OnEvent2;
    // Fired on the main thread, once per lost line, after the port has been closed.
    LineLostEvent OnLineLost;

    // The virtual slots.
    virtual void CreateHandle();
    virtual void StartThreads();
    virtual void HandleRxChar();
    virtual void HandleEvents(std::uint32_t mask);
    virtual void NotifyLinksEvent(std::uint32_t mask);
    virtual void NotifyLinksRxBuf(const std::uint8_t* data, std::int32_t count);

    void CheckClosed() const;
    [[noreturn]] void RaiseCommError(const std::string& format, int code) const;
    void CheckResult(int error, const std::string& format) const;
    // The device control block the current settings give (DcbFromSettings).
    Dcb BuildDcb() const;
    void ApplyDCB();
    void ApplyBuffers();
    void ApplyTimeouts();
    void ApplyEventMask();
    void StopThreads();
    void DestroyHandle();
    void DoOpen();
    void DoClose();
    void LockWrite() { writeLock_.Enter(); }
    void UnlockWrite() { writeLock_.Leave(); }
    void LockRead() { readLock_.Enter(); }
    void UnlockRead() { readLock_.Leave(); }

private:
    // The workers' host (comm_host.h): the dispatcher, the write lock, the lost line, the
    // dispatch of events and the report. A member, not a base: the workers call it until
    // the destructor has joined them, and their virtual calls on the component itself
    // would race with the destructor's change of its dynamic type.
    class WorkerHost final : public CommThreadHost {
    public:
        explicit WorkerHost(TVaCustomComm& comm) : comm_(comm) {}
        void PostToMainThread(std::function<void()> step) override { comm_.dispatcher_.Post(std::move(step)); }
        TVaCriticalSection& WriteLock() override { return comm_.writeLock_; }
        bool LineLost() const override { return comm_.LineLost(); }
        bool CheckLineLost(const CommDevice& device, int code, const char* format) override
        {
            return comm_.CheckLineLost(device, code, format);
        }
        void LoseLine(const std::string& detail) override { comm_.LoseLine(detail); }
        void DispatchEvents(std::uint32_t mask) override { comm_.DispatchEvents(mask); }
        void HandleEvents(std::uint32_t mask) override { comm_.HandleEvents(mask); }
        void Report(std::exception_ptr error) const override { comm_.Report(error); }

    private:
        TVaCustomComm& comm_;
    };

    void BuffersChanged();
    void EventCharsChanged() { ApplyDCB(); }
    void FlowControlChanged() { ApplyDCB(); }
    void Report(std::exception_ptr error) const;
    void DispatchEvents(std::uint32_t mask);
    bool Enqueue(const void* bytes, std::int32_t n);
    // When `code` means the device has gone: starts the lost-line episode (once) and
    // returns true. Callable from any thread.
    bool CheckLineLost(const CommDevice& device, int code, const char* format);
    // Starts the lost-line episode (once) with `detail` for OnLineLost. Callable from any thread.
    void LoseLine(const std::string& detail);

    MainThreadDispatcher& dispatcher_;
    CommDeviceFactory factory_;
    std::unique_ptr<CommDevice> device_;

    bool autoOpen_ = false;
    TVaBaudrate baudrate_ = br1200;
    TVaParity parity_ = paNone;
    bool parityCheck_ = false;
    TVaDatabits databits_ = db8;
    TVaStopbits stopbits_ = sb1;
    TVaCommOptions options_ = 0;
    std::int32_t portNum_ = 0;
    std::string deviceName_ = "COM%d";
    TVaCommEvents monitorEvents_ = kDefaultMonitorEvents;
    TThreadPriority eventPriority_ = tpNormal;
    TThreadPriority writePriority_ = tpHighest;
    bool directWrite_ = false;
    bool updateDcb_ = true;
    std::int32_t userBaudrate_ = 0;

    std::unique_ptr<TVaBuffers> buffers_;
    std::unique_ptr<TVaEventChars> eventChars_;
    std::unique_ptr<TVaFlowControl> flowControl_;
    std::unique_ptr<TVaWaitEvent> ioEvent_;
    TVaCriticalSection writeLock_;
    TVaCriticalSection readLock_;
    std::uint32_t eventMask_ = 0;
    std::uint32_t unreportedErrors_ = 0;  // read by InQueCount, not yet returned by GetStatus
    std::atomic<bool> lineLost_{false};
    std::uint32_t openCount_ = 0;  // tells a lost-line step of an earlier opening from the current one
    std::vector<TVaCommLink*> links_;

    WorkerHost host_{*this};
    std::shared_ptr<SyncGate> gate_;
    std::unique_ptr<TVaCommEventThread> eventThread_;
    std::unique_ptr<TVaCommWriteThread> writeThread_;
    bool destroying_ = false;
    // Cleared by the destructor so that a dispatch in progress stops touching the component.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The component as the main window uses it: every property and event published.
class TVaComm : public TVaCustomComm {
public:
    using TVaCustomComm::TVaCustomComm;

    using TVaCustomComm::AutoOpen;
    using TVaCustomComm::Baudrate;
    using TVaCustomComm::Buffers;
    using TVaCustomComm::Databits;
    using TVaCustomComm::DeviceName;
    using TVaCustomComm::DirectWrite;
    using TVaCustomComm::EventChars;
    using TVaCustomComm::EventPriority;
    using TVaCustomComm::FlowControl;
    using TVaCustomComm::MonitorEvents;
    using TVaCustomComm::Options;
    using TVaCustomComm::Parity;
    using TVaCustomComm::ParityCheck;
    using TVaCustomComm::PortNum;
    using TVaCustomComm::SetAutoOpen;
    using TVaCustomComm::SetBaudrate;
    using TVaCustomComm::SetBuffers;
    using TVaCustomComm::SetDatabits;
    using TVaCustomComm::SetDeviceName;
    using TVaCustomComm::SetDirectWrite;
    using TVaCustomComm::SetEventChars;
    using TVaCustomComm::SetEventPriority;
    using TVaCustomComm::SetFlowControl;
    using TVaCustomComm::SetMonitorEvents;
    using TVaCustomComm::SetOptions;
    using TVaCustomComm::SetParity;
    using TVaCustomComm::SetParityCheck;
    using TVaCustomComm::SetPortNum;
    using TVaCustomComm::SetStopbits;
    using TVaCustomComm::SetUpdateDCB;
    using TVaCustomComm::SetUserBaudrate;
    using TVaCustomComm::SetWritePriority;
    using TVaCustomComm::Stopbits;
    using TVaCustomComm::UpdateDCB;
    using TVaCustomComm::UserBaudrate;
    using TVaCustomComm::WritePriority;

    using TVaCustomComm::OnBreak;
    using TVaCustomComm::OnClose;
    using TVaCustomComm::OnCts;
    using TVaCustomComm::OnDsr;
    using TVaCustomComm::OnError;
    using TVaCustomComm::OnEvent1;
    using TVaCustomComm::OnEvent2;
    using TVaCustomComm::OnLineLost;
    using TVaCustomComm::OnOpen;
    using TVaCustomComm::OnPErr;
    using TVaCustomComm::OnRing;
    using TVaCustomComm::OnRlsd;
    using TVaCustomComm::OnRx80Full;
    using TVaCustomComm::OnRxBuf;
    using TVaCustomComm::OnRxChar;
    using TVaCustomComm::OnRxFlag;
    using TVaCustomComm::OnTxEmpty;

    using TVaCustomComm::BuildDcb;
};

}  // namespace serial
