#include "serial/va_comm.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <future>
#include <initializer_list>
#include <mutex>
#include <thread>

#include "serial/os.h"

namespace serial {

namespace {

constexpr const char* kMsgOpen = "Unable to open specified device %s (%d), %s";
constexpr const char* kMsgDcb = "Error writing dcb (%d), %s";
constexpr const char* kMsgBuffers = "Error initializing buffers (%d), %s";
constexpr const char* kMsgTimeouts = "Error setting timeouts (%d), %s";
constexpr const char* kMsgEventMask = " Error setting EventMask (%d), %s";
constexpr const char* kMsgOpenPort = "Can't perform this operation while port is open";
constexpr const char* kMsgQueueFull = "Output buffer is full. Please check comm status.";
constexpr const char* kMsgWrite = "Write error (%d), %s";
constexpr const char* kMsgRead = "Read error (%d), %s";
constexpr const char* kMsgStatus = "Error retrieving statistics (%d), %s";
constexpr const char* kMsgWait = "Error waiting for events (%d), %s";

// A device that keeps failing (unplugged adapter, hung-up pseudo-terminal) would make a
// worker retry in a tight loop; a short pause between failed attempts keeps the CPU free.
constexpr std::uint32_t kRetryPauseMs = 50;

// Fills %d and %s of a fixed message format in order; "%%" is a percent sign.
std::string FillFormat(const std::string& format, std::initializer_list<std::string> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      const char k = format[i + 1];
      if (k == '%') {
        out += '%';
        ++i;
        continue;
      }
      if ((k == 'd' || k == 's') && next != args.end()) {
        out += *next++;
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

std::mutex& ReportMutex() {
  static std::mutex m;
  return m;
}
ExceptionReport& ReportHook() {
  static ExceptionReport hook;
  return hook;
}

}  // namespace

void SetExceptionReport(ExceptionReport report) {
  std::lock_guard lock(ReportMutex());
  ReportHook() = std::move(report);
}

void ReportException(std::exception_ptr error) {
  ExceptionReport hook;
  {
    std::lock_guard lock(ReportMutex());
    hook = ReportHook();
  }
  if (hook) {
    hook(error);
    return;
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "unknown exception\n");
  }
}

std::uint32_t BaudrateValue(TVaBaudrate rate) {
  static constexpr std::uint32_t kRates[] = {0,     110,   300,   600,    1200,   2400,   4800,   9600,
                                             14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
  return rate >= brUser && rate <= br256000 ? kRates[rate] : 0;
}

std::uint32_t EventMaskBit(TVaCommEvent event) {
  static constexpr std::uint32_t kBits[] = {EV_BREAK, EV_CTS,     EV_DSR,      EV_ERR,    EV_RING,
                                            EV_RLSD,  EV_RXCHAR,  EV_TXEMPTY,  EV_RXFLAG, EV_PERR,
                                            EV_RX80FULL, EV_EVENT1, EV_EVENT2};
  return event >= ceBreak && event <= ceEvent2 ? kBits[event] : 0;
}

int WindowsThreadPriority(TThreadPriority priority) {
  static constexpr int kValues[] = {-15, -2, -1, 0, 1, 2, 15};
  return priority >= tpIdle && priority <= tpTimeCritical ? kValues[priority] : 0;
}

// ---------------------------------------------------------------------------
// Write queue

TVaCommBuffer::TVaCommBuffer(std::int32_t capacity) : data_(static_cast<std::size_t>(std::max(capacity, 0))) {}

void TVaCommBuffer::Append(const void* bytes, std::int32_t n) {
  const std::int32_t count = count_.load(std::memory_order_relaxed);
  if (n > 0) std::memcpy(data_.data() + count, bytes, static_cast<std::size_t>(n));
  count_.store(count + n, std::memory_order_release);
}

void TVaCommBuffer::Remove(std::int32_t n) {
  const std::int32_t count = count_.load(std::memory_order_relaxed);
  n = std::clamp(n, 0, count);
  std::memmove(data_.data(), data_.data() + n, static_cast<std::size_t>(count - n));
  count_.store(count - n, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// Synchronize: a worker hands a step to the main thread and waits for it. Close
// closes the gate, which releases every waiting worker and turns steps not yet run
// into no-ops; steps run only on the main thread, where Close also runs, so a step
// that finds the gate open runs against a live, open component.

struct SyncGate {
  std::mutex mutex;
  std::condition_variable done;
  bool closed = false;

  void Close() {
    {
      std::lock_guard lock(mutex);
      closed = true;
    }
    done.notify_all();
  }
};

bool TVaCustomComm::Synchronize(const std::shared_ptr<SyncGate>& gate, const std::function<void()>& step) {
  struct Call {
    bool finished = false;
  };
  auto call = std::make_shared<Call>();
  {
    std::lock_guard lock(gate->mutex);
    if (gate->closed) return false;
  }
  dispatcher_.Post([gate, call, step] {
    {
      std::lock_guard lock(gate->mutex);
      if (gate->closed) return;
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

class TVaCommWorker {
 public:
  TVaCommWorker(TVaCustomComm& comm, CommDevice& device, std::shared_ptr<SyncGate> gate)
      : comm_(comm), device_(device), gate_(std::move(gate)) {}
  virtual ~TVaCommWorker() { Join(); }
  TVaCommWorker(const TVaCommWorker&) = delete;
  TVaCommWorker& operator=(const TVaCommWorker&) = delete;

  void Start(int priority) {
    std::promise<std::uintptr_t> started;
    std::future<std::uintptr_t> token = started.get_future();
    thread_ = std::thread([this, priority, &started] {
      const std::uintptr_t self = CurrentThreadToken();
      SetNativeThreadPriority(self, priority);
      started.set_value(self);
      Execute();
    });
    token_ = token.get();
  }
  void SetPriority(int priority) { SetNativeThreadPriority(token_, priority); }
  void Join() {
    if (thread_.joinable()) thread_.join();
    ReleaseThreadToken(token_);
    token_ = 0;
  }

 protected:
  virtual void Execute() = 0;
  // Runs a step on the main thread; exceptions there go to the exception report.
  void SyncStep(const std::function<void(TVaCustomComm&)>& step) {
    TVaCustomComm& comm = comm_;
    comm.Synchronize(gate_, [&comm, step] {
      try {
        step(comm);
      } catch (...) {
        comm.Report(std::current_exception());
      }
    });
  }
  TVaCustomComm& comm_;
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
  void Stop() {
    terminated_ = true;
    waitEvent_.SetEvent();
  }

 protected:
  void Execute() override {
    while (!terminated_) {
      std::uint32_t mask = 0;
      int error = 0;
      switch (device_.WaitEvent(mask, waitEvent_, error)) {
        case WaitStatus::Events:
          if (!terminated_) {
            TVaCustomComm& comm = comm_;
            comm.Synchronize(gate_, [&comm, mask] { comm.DispatchEvents(mask); });
          }
          break;
        case WaitStatus::Stopped:
          break;
        case WaitStatus::Failed:
          if (comm_.CheckLineLost(device_, error, kMsgWait)) {
            waitEvent_.WaitFor(kInfinite);  // the device has gone: nothing to wait for until Stop
          } else {
            waitEvent_.WaitFor(kRetryPauseMs);
          }
          break;
      }
    }
  }

 private:
  TVaWaitEvent waitEvent_;
};

class TVaCommWriteThread : public TVaCommWorker {
 public:
  TVaCommWriteThread(TVaCustomComm& comm, CommDevice& device, std::shared_ptr<SyncGate> gate, std::int32_t capacity)
      : TVaCommWorker(comm, device, std::move(gate)), queue_(capacity) {}
  ~TVaCommWriteThread() override { Join(); }
  void Stop() { stopEvent_.SetEvent(); }
  // Lets the thread write out what is queued; returns when the queue is empty, the
  // line is lost, or after `timeoutMs`: whether the queue was written out.
  bool Drain(std::uint32_t timeoutMs) {
    draining_ = true;
    dataEvent_.SetEvent();
    return drained_.WaitFor(timeoutMs) == TWaitResult::wrSignaled && QueueEmpty();
  }

  // Called by writers; polls for room at most `timeoutMs`.
  bool Enqueue(const void* bytes, std::int32_t n, std::int32_t limit, std::uint32_t timeoutMs) {
    limit = std::min(limit, queue_.Capacity());
    if (static_cast<std::int64_t>(n) > limit) {
      // Never fits; wait out the time-out as a writer facing a full queue would.
      return WaitForRoom(n, limit, timeoutMs);
    }
    for (;;) {
      if (static_cast<std::int64_t>(queue_.Count()) + n > limit && !WaitForRoom(n, limit, timeoutMs)) return false;
      std::lock_guard lock(comm_.writeLock_);
      // Another writer may have taken the room between the test and the lock.
      if (static_cast<std::int64_t>(queue_.Count()) + n <= limit) {
        queue_.Append(bytes, n);
        dataEvent_.SetEvent();
        return true;
      }
    }
  }

 protected:
  void Execute() override {
    TVaWaitEvent* wakers[2] = {&stopEvent_, &dataEvent_};
    while (!terminated_) {
      const bool lost = comm_.lineLost_;
      if (lost || (draining_ && QueueEmpty())) {
        // Nothing more will be written: a lost line drops what is queued.
        if (lost) Consume(queue_.Count());
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
      if (which != 1) continue;
      std::int32_t count = 0;
      const std::uint8_t* data = nullptr;
      {
        std::lock_guard lock(comm_.writeLock_);
        count = queue_.Count();
        data = queue_.Data();
      }
      if (count == 0 && draining_) continue;
      std::uint32_t done = 0;
      int error = 0;
      const IoStatus status =
          device_.Write(data, static_cast<std::uint32_t>(count), done, writeDoneEvent_, &stopEvent_, kInfinite, error);
      // What went out before a failure or a stop is never written again.
      const auto written = static_cast<std::int32_t>(std::min<std::uint32_t>(done, static_cast<std::uint32_t>(count)));
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
          if (comm_.CheckLineLost(device_, error, kMsgWrite)) break;  // the next pass drops the queue
          if (status == IoStatus::Failed) SyncStep([](TVaCustomComm& comm) { comm.HandleEvents(EV_ERR); });
          stopEvent_.WaitFor(kRetryPauseMs);
          break;
        case IoStatus::TimedOut:
          Consume(written);
          stopEvent_.WaitFor(kRetryPauseMs);
          break;
      }
    }
  }

 private:
  bool WaitForRoom(std::int32_t n, std::int32_t limit, std::uint32_t timeoutMs) {
    const std::uint32_t start = TickCount();
    for (;;) {
      const std::int32_t count = queue_.Count();
      const std::uint32_t now = TickCount();
      const std::uint32_t elapsed = now >= start ? now - start : now + (kMaxDword - start);
      if (elapsed > timeoutMs) return false;
      if (static_cast<std::int64_t>(count) + n <= limit) return true;
      std::this_thread::yield();
    }
  }

  bool QueueEmpty() {
    std::lock_guard lock(comm_.writeLock_);
    return queue_.Count() == 0;
  }

  // Removes bytes that need no writing (any more) without reporting an empty queue.
  void Consume(std::int32_t n) {
    if (n <= 0) return;
    std::lock_guard lock(comm_.writeLock_);
    queue_.Remove(n);
    if (queue_.Count() == 0) dataEvent_.ResetEvent();
  }

  void Completion(std::int32_t written) {
    bool empty = false;
    {
      // Testing and clearing under the lock keeps the DataEvent of a concurrent Enqueue.
      std::lock_guard lock(comm_.writeLock_);
      queue_.Remove(written);
      empty = queue_.Count() == 0;
      if (empty) {
        dataEvent_.ResetEvent();
      } else {
        dataEvent_.SetEvent();
      }
    }
    if (empty) SyncStep([](TVaCustomComm& comm) { comm.HandleEvents(EV_TXEMPTY); });
  }

  TVaCommBuffer queue_;
  TVaWaitEvent dataEvent_;
  TVaWaitEvent stopEvent_;
  TVaWaitEvent writeDoneEvent_;
  TVaWaitEvent drained_;
  std::atomic<bool> draining_{false};
};

// ---------------------------------------------------------------------------
// Component

TVaCustomComm::TVaCustomComm(MainThreadDispatcher& dispatcher, CommDeviceFactory factory)
    : dispatcher_(dispatcher),
      factory_(std::move(factory)),
      buffers_(std::make_unique<TVaBuffers>()),
      eventChars_(std::make_unique<TVaEventChars>()),
      flowControl_(std::make_unique<TVaFlowControl>()),
      ioEvent_(std::make_unique<TVaWaitEvent>()) {
  buffers_->OnChange = [this](TVaPersistent&) { BuffersChanged(); };
  eventChars_->OnChange = [this](TVaPersistent&) { EventCharsChanged(); };
  flowControl_->OnChange = [this](TVaPersistent&) { FlowControlChanged(); };
}

TVaCustomComm::~TVaCustomComm() {
  destroying_ = true;
  *alive_ = false;
  Close();
  RemoveAllLinks();
}

void TVaCustomComm::Loaded() {
  if (autoOpen_) Open();
}

std::string TVaCustomComm::DevicePath() const {
  return FillFormat(deviceName_, {std::to_string(portNum_)});
}

void TVaCustomComm::Report(std::exception_ptr error) const {
  if (OnException) {
    OnException(error);
  } else {
    ReportException(error);
  }
}

void TVaCustomComm::CheckClosed() const {
  if (Active()) throw EVaCommError(kMsgOpenPort);
}

void TVaCustomComm::RaiseCommError(const std::string& format, int code) const {
  const std::string text = device_ ? device_->ErrorText(code) : SystemErrorText(code);
  throw EVaCommError(FillFormat(format, {std::to_string(code), text}));
}

void TVaCustomComm::CheckResult(int error, const std::string& format) const {
  if (error != 0) RaiseCommError(format, error);
}

void TVaCustomComm::Open() {
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

void TVaCustomComm::CreateHandle() {
  std::unique_ptr<CommDevice> device = factory_ ? factory_() : CreateSystemCommDevice();
  const std::string path = DevicePath();
  const int error = device->Open(path);
  if (error != 0) {
    const std::string text = device->ErrorText(error);
    throw EVaCommError(FillFormat(kMsgOpen, {path, std::to_string(error), text}));
  }
  device_ = std::move(device);
}

void TVaCustomComm::DestroyHandle() {
  if (!device_) return;
  unreportedErrors_ = 0;
  device_->Close();
  device_.reset();
}

void TVaCustomComm::Close() {
  if (!Active()) return;
  // No more steps for the main thread (this also releases a worker waiting in
  // Synchronize, e.g. when Close runs in a handler on its behalf), no more events;
  // then what is queued goes out, unless the line is gone.
  if (gate_) gate_->Close();
  if (eventThread_) eventThread_->Stop();
  // What has not left the driver within the limit is discarded, so that the
  // driver cannot hold the closing up.
  const std::uint32_t start = TickCount();
  bool written = !lineLost_;
  if (writeThread_ && written) written = writeThread_->Drain(kCloseDrainMs);
  {
    std::lock_guard lock(readLock_);
    StopThreads();
    if (device_) {
      const std::uint32_t spent = TickCount() - start;
      device_->FinishOutput(written && spent < kCloseDrainMs ? kCloseDrainMs - spent : 0);
    }
    DestroyHandle();
  }
  DoClose();
}

void TVaCustomComm::DoOpen() {
  if (!OnOpen) return;
  try {
    OnOpen(*this);
  } catch (...) {
    Report(std::current_exception());
  }
}

void TVaCustomComm::DoClose() {
  if (!destroying_ && OnClose) OnClose(*this);
}

Dcb TVaCustomComm::BuildDcb() const {
  Dcb dcb{};
  dcb.DCBlength = sizeof(Dcb);
  dcb.BaudRate = baudrate_ == brUser ? static_cast<std::uint32_t>(userBaudrate_) : BaudrateValue(baudrate_);
  dcb.Parity = static_cast<std::uint8_t>(parity_);
  dcb.StopBits = static_cast<std::uint8_t>(stopbits_);
  dcb.ByteSize = static_cast<std::uint8_t>(4 + databits_);
  dcb.XonChar = eventChars_->XonChar();
  dcb.XoffChar = eventChars_->XoffChar();
  dcb.ErrorChar = eventChars_->ErrorChar();
  dcb.EofChar = eventChars_->EofChar();
  dcb.EvtChar = eventChars_->EventChar();
  const std::uint32_t lim = std::min<std::uint32_t>(static_cast<std::uint32_t>(buffers_->ReadSize()) >> 2, 1024);
  dcb.XonLim = static_cast<std::uint16_t>(lim);
  dcb.XoffLim = static_cast<std::uint16_t>(lim);
  std::uint32_t flags = DCB_fBinary;
  if (parityCheck_) flags |= DCB_fParity;
  const TVaFlowControl& fc = *flowControl_;
  if (fc.OutCtsFlow()) flags |= DCB_fOutxCtsFlow;
  if (fc.OutDsrFlow()) flags |= DCB_fOutxDsrFlow;
  if (fc.XonXoffOut()) flags |= DCB_fOutX;
  if (fc.XonXoffIn()) flags |= DCB_fInX;
  switch (fc.ControlDtr()) {
    case dtrDisabled: break;
    case dtrEnabled: flags |= DCB_DtrControlEnable; break;
    case dtrHandshake: flags |= DCB_DtrControlHandshake; break;
  }
  switch (fc.ControlRts()) {
    case rtsDisabled: break;
    case rtsEnabled: flags |= DCB_RtsControlEnable; break;
    case rtsHandshake: flags |= DCB_RtsControlHandshake; break;
    case rtsToggle: flags |= DCB_RtsControlToggle; break;
  }
  if (fc.DsrSensitivity()) flags |= DCB_fDsrSensitivity;
  if (fc.TxContinueOnXoff()) flags |= DCB_fTXContinueOnXoff;
  if (options_ & OptionBit(coErrorChar)) flags |= DCB_fErrorChar;
  if (options_ & OptionBit(coNullStrip)) flags |= DCB_fNull;
  dcb.Flags = flags;
  return dcb;
}

void TVaCustomComm::ApplyDCB() {
  if (!Active() || !updateDcb_) return;
  CheckResult(device_->SetState(BuildDcb()), kMsgDcb);
}

void TVaCustomComm::ApplyBuffers() {
  if (!Active()) return;
  CheckResult(device_->Setup(static_cast<std::uint32_t>(buffers_->ReadSize()),
                             static_cast<std::uint32_t>(buffers_->WriteSize())),
              kMsgBuffers);
}

void TVaCustomComm::ApplyTimeouts() {
  if (!Active()) return;
  CommTimeouts t{};
  t.ReadIntervalTimeout = kMaxDword;
  CheckResult(device_->SetTimeouts(t), kMsgTimeouts);
}

void TVaCustomComm::ApplyEventMask() {
  eventMask_ = 0;
  for (int e = ceBreak; e <= ceEvent2; ++e) {
    if (monitorEvents_ & (1u << e)) eventMask_ |= EventMaskBit(static_cast<TVaCommEvent>(e));
  }
  if (!directWrite_) eventMask_ &= ~EV_TXEMPTY;
  if (Active()) CheckResult(device_->SetMask(eventMask_), kMsgEventMask);
}

void TVaCustomComm::StartThreads() {
  gate_ = std::make_shared<SyncGate>();
  if (eventMask_ != 0) {
    eventThread_ = std::make_unique<TVaCommEventThread>(*this, *device_, gate_);
    eventThread_->Start(WindowsThreadPriority(eventPriority_));
  }
  if (!directWrite_) {
    writeThread_ = std::make_unique<TVaCommWriteThread>(*this, *device_, gate_, buffers_->WriteSize());
    writeThread_->Start(WindowsThreadPriority(writePriority_));
  }
}

void TVaCustomComm::StopThreads() {
  if (eventThread_) eventThread_->Stop();
  if (writeThread_) writeThread_->Stop();
  if (gate_) gate_->Close();
  // Both threads leave at once: their waits end on the stop events and the gate.
  eventThread_.reset();
  writeThread_.reset();
  gate_.reset();
}

// --- setters ---------------------------------------------------------------

void TVaCustomComm::SetBaudrate(TVaBaudrate value) {
  if (baudrate_ == value) return;
  baudrate_ = value;
  if (value != brUser) userBaudrate_ = 0;
  ApplyDCB();
}

void TVaCustomComm::SetUserBaudrate(std::int32_t value) {
  if (userBaudrate_ == value) return;
  userBaudrate_ = value;
  baudrate_ = brUser;
  ApplyDCB();
}

void TVaCustomComm::SetParity(TVaParity value) {
  if (parity_ == value) return;
  parity_ = value;
  ApplyDCB();
}

void TVaCustomComm::SetParityCheck(bool value) {
  if (parityCheck_ == value) return;
  parityCheck_ = value;
  ApplyDCB();
}

void TVaCustomComm::SetDatabits(TVaDatabits value) {
  if (databits_ == value) return;
  databits_ = value;
  ApplyDCB();
}

void TVaCustomComm::SetStopbits(TVaStopbits value) {
  if (stopbits_ == value) return;
  stopbits_ = value;
  ApplyDCB();
}

void TVaCustomComm::SetOptions(TVaCommOptions value) {
  if (options_ == value) return;
  options_ = value;
  ApplyDCB();
}

void TVaCustomComm::SetPortNum(std::int32_t value) {
  CheckClosed();
  portNum_ = value < 0 ? 0 : value;
}

void TVaCustomComm::SetDeviceName(const std::string& value) {
  CheckClosed();
  deviceName_ = value;
}

void TVaCustomComm::SetMonitorEvents(TVaCommEvents value) {
  CheckClosed();
  monitorEvents_ = value;
}

void TVaCustomComm::SetBuffers(const TVaBuffers& value) {
  CheckClosed();
  buffers_->Assign(value);
}

void TVaCustomComm::SetEventPriority(TThreadPriority value) {
  if (eventPriority_ == value) return;
  eventPriority_ = value;
  if (eventThread_) eventThread_->SetPriority(WindowsThreadPriority(value));
}

void TVaCustomComm::SetWritePriority(TThreadPriority value) {
  if (writePriority_ == value) return;
  writePriority_ = value;
  if (writeThread_) writeThread_->SetPriority(WindowsThreadPriority(value));
}

void TVaCustomComm::SetDirectWrite(bool value) {
  CheckClosed();
  directWrite_ = value;
}

void TVaCustomComm::SetUpdateDCB(bool value) {
  CheckClosed();
  updateDcb_ = value;
}

void TVaCustomComm::BuffersChanged() {
  CheckClosed();
  ApplyBuffers();
  ApplyDCB();
}

// --- reading, writing, status -------------------------------------------------

std::int32_t TVaCustomComm::ReadBuf(void* buffer, std::int32_t count) {
  if (!Active()) return 0;
  std::lock_guard lock(readLock_);
  if (!Active() || lineLost_ || count <= 0) return 0;
  std::uint32_t done = 0;
  int error = 0;
  const IoStatus status = device_->Read(buffer, static_cast<std::uint32_t>(count), done, *ioEvent_,
                                        static_cast<std::uint32_t>(buffers_->ReadTimeout()), error);
  if (status == IoStatus::Failed) {
    if (CheckLineLost(*device_, error, kMsgRead)) return 0;
    RaiseCommError(kMsgRead, error);
  }
  return status == IoStatus::Done ? static_cast<std::int32_t>(std::min<std::uint32_t>(done, count)) : 0;
}

bool TVaCustomComm::Enqueue(const void* bytes, std::int32_t n) {
  return writeThread_->Enqueue(bytes, n, buffers_->WriteSize(), static_cast<std::uint32_t>(buffers_->WriteTimeout()));
}

std::int32_t TVaCustomComm::WriteBuf(const void* buffer, std::int32_t count) {
  if (!Active() || lineLost_) return 0;  // a lost line is reported once, by OnLineLost
  if (count < 0) count = 0;
  if (!directWrite_) {
    if (!writeThread_) return 0;
    if (!Enqueue(buffer, count)) throw EVaCommError(kMsgQueueFull);
    return count;
  }
  std::lock_guard lock(writeLock_);
  std::uint32_t done = 0;
  int error = 0;
  const IoStatus status = device_->Write(buffer, static_cast<std::uint32_t>(count), done, *ioEvent_, nullptr,
                                         static_cast<std::uint32_t>(buffers_->ReadTimeout()), error);
  if (status == IoStatus::Failed || status == IoStatus::CompletionFailed) {
    if (CheckLineLost(*device_, error, kMsgWrite)) return 0;
    if (status == IoStatus::Failed) RaiseCommError(kMsgWrite, error);
  }
  // The bytes that went out, also when the write was cut short: the caller must not
  // send them again.
  return static_cast<std::int32_t>(std::min<std::uint32_t>(done, count));
}

bool TVaCustomComm::WriteChar(std::uint8_t byte) { return WriteBuf(&byte, 1) == 1; }

void TVaCustomComm::GetStatus(TVaCommStatus& status) {
  std::lock_guard lock(readLock_);
  status = TVaCommStatus{};
  if (!Active() || lineLost_) return;
  if (const int error = device_->ClearError(status.Errors, status.Stat); error != 0) {
    status = TVaCommStatus{};
    if (CheckLineLost(*device_, error, kMsgStatus)) return;
    RaiseCommError(kMsgStatus, error);
  }
  status.Errors |= unreportedErrors_;
  unreportedErrors_ = 0;
}

std::int32_t TVaCustomComm::InQueCount() {
  if (!Active()) return 0;
  TVaCommStatus status;
  GetStatus(status);
  // Asking for the queue count also clears the driver's error flags; keep them for the
  // next GetStatus so that errors arriving with data still reach OnError.
  std::lock_guard lock(readLock_);
  unreportedErrors_ |= status.Errors;
  return static_cast<std::int32_t>(status.Stat.cbInQue);
}

bool TVaCustomComm::CheckLineErrors() {
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

bool TVaCustomComm::CheckLineLost(const CommDevice& device, int code, const char* format) {
  if (!device.IsLineLost(code)) return false;
  bool first = false;
  if (!lineLost_.compare_exchange_strong(first, true)) return true;
  const std::string detail = FillFormat(format, {std::to_string(code), device.ErrorText(code)});
  const std::shared_ptr<bool> alive = alive_;
  const std::uint32_t opening = openCount_;
  dispatcher_.Post([this, alive, opening, detail] {
    if (!*alive || !Active() || opening != openCount_) return;
    Close();
    if (!*alive || !OnLineLost) return;
    try {
      OnLineLost(*this, detail);
    } catch (...) {
      if (*alive) Report(std::current_exception());
    }
  });
  return true;
}

// --- dispatch (main thread) ---------------------------------------------------

void TVaCustomComm::DispatchEvents(std::uint32_t mask) {
  // A handler may close or even destroy the component; nothing of it is touched after that.
  const std::shared_ptr<bool> alive = alive_;
  try {
    if (mask & EV_RXCHAR) {
      HandleRxChar();
      if (!*alive) return;
      mask &= ~EV_RXCHAR;
    }
    if (mask != 0) HandleEvents(mask);
  } catch (...) {
    if (*alive) Report(std::current_exception());
  }
}

void TVaCustomComm::HandleRxChar() {
  const std::int32_t n = InQueCount();
  if (n <= 0) return;
  if (!links_.empty()) {
    std::vector<std::uint8_t> block(static_cast<std::size_t>(n));
    const std::int32_t got = ReadBuf(block.data(), n);
    NotifyLinksRxBuf(block.data(), got);
  } else if (OnRxChar) {
    OnRxChar(*this, n);
  }
}

void TVaCustomComm::HandleEvents(std::uint32_t mask) {
  const std::shared_ptr<bool> alive = alive_;
  if (mask & EV_ERR) {
    CheckLineErrors();
    if (!*alive) return;
  }
  if (!links_.empty()) {
    NotifyLinksEvent(mask);
    if (!*alive) return;
  }
  const std::pair<std::uint32_t, NotifyEvent TVaCustomComm::*> handlers[] = {
      {EV_RXFLAG, &TVaCustomComm::OnRxFlag},   {EV_CTS, &TVaCustomComm::OnCts},
      {EV_DSR, &TVaCustomComm::OnDsr},         {EV_RING, &TVaCustomComm::OnRing},
      {EV_RLSD, &TVaCustomComm::OnRlsd},       {EV_TXEMPTY, &TVaCustomComm::OnTxEmpty},
      {EV_BREAK, &TVaCustomComm::OnBreak},     {EV_PERR, &TVaCustomComm::OnPErr},
      {EV_RX80FULL, &TVaCustomComm::OnRx80Full}, {EV_EVENT1, &TVaCustomComm::OnEvent1},
      {EV_EVENT2, &TVaCustomComm::OnEvent2}};
  for (const auto& [bit, member] : handlers) {
    if ((mask & bit) && this->*member) {
      const NotifyEvent handler = this->*member;
      handler(*this);
      if (!*alive) return;
    }
  }
}

void TVaCustomComm::NotifyLinksEvent(std::uint32_t mask) {
  if (!LinksEnabled) return;
  for (TVaCommLink* link : std::vector<TVaCommLink*>(links_)) {
    if (link->Active && link->Target) link->Target->LinkEvent(mask);
  }
}

void TVaCustomComm::NotifyLinksRxBuf(const std::uint8_t* data, std::int32_t count) {
  if (LinksEnabled) {
    for (TVaCommLink* link : std::vector<TVaCommLink*>(links_)) {
      if (link->Active && link->Target) link->Target->LinkRxBuf(data, count);
    }
  }
  if (OnRxBuf) OnRxBuf(*this, data, count);
}

void TVaCustomComm::AddLink(TVaCommLink& link) {
  if (std::find(links_.begin(), links_.end(), &link) != links_.end()) return;
  link.Comm = this;
  links_.push_back(&link);
}

void TVaCustomComm::RemoveLink(TVaCommLink& link) {
  const auto it = std::find(links_.begin(), links_.end(), &link);
  if (it == links_.end()) return;
  link.Comm = nullptr;
  links_.erase(it);
}

void TVaCustomComm::RemoveAllLinks() {
  while (!links_.empty()) RemoveLink(*links_.back());
}

}  // namespace serial
