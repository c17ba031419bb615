#include "serial/scripted_device.h"

#include <algorithm>
#include <cerrno>

namespace serial {

void ScriptedLine::Fail(ScriptedCall call, int error, int times, int after)
{
    std::lock_guard lock(mutex_);
    failures_[call] = {error, times, after};
}

void ScriptedLine::Answer(std::function<std::vector<std::uint8_t>(std::uint8_t)> peer)
{
    std::lock_guard lock(mutex_);
    peer_ = std::move(peer);
}

int ScriptedLine::Take(ScriptedCall call)
{
    calls_.push_back(call);
    if (unplugged_)
        return call == ScriptedCall::Open ? ENOENT : unplugError_;
    auto it = failures_.find(call);
    if (it == failures_.end())
        return 0;
    Failure& failure = it->second;
    if (failure.after > 0) {
        --failure.after;
        return 0;
    }
    const int error = failure.error;
    if (failure.times > 0 && --failure.times == 0)
        failures_.erase(it);
    return error;
}

void ScriptedLine::Wake()
{
    changed_.SetEvent();
}

void ScriptedLine::Receive(const std::vector<std::uint8_t>& bytes)
{
    std::lock_guard lock(mutex_);
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    if (!bytes.empty())
        pending_ |= EV_RXCHAR & mask_;
    Wake();
}

void ScriptedLine::RaiseEvents(std::uint32_t events)
{
    std::lock_guard lock(mutex_);
    pending_ |= events & mask_;
    Wake();
}

void ScriptedLine::AddLineErrors(std::uint32_t errors)
{
    std::lock_guard lock(mutex_);
    errors_ |= errors;
    pending_ |= EV_ERR & mask_;
    Wake();
}

void ScriptedLine::OverstateQueue(std::uint32_t extra)
{
    std::lock_guard lock(mutex_);
    overstate_ = extra;
}

void ScriptedLine::HoldEvents(bool hold)
{
    std::lock_guard lock(mutex_);
    holdEvents_ = hold;
    Wake();
}

void ScriptedLine::StallReads(bool stall)
{
    std::lock_guard lock(mutex_);
    stallReads_ = stall;
}

void ScriptedLine::StallWrites(bool stall)
{
    std::lock_guard lock(mutex_);
    stallWrites_ = stall;
    writesChanged_.SetEvent();
}

void ScriptedLine::LimitWriteChunk(std::uint32_t bytes)
{
    std::lock_guard lock(mutex_);
    writeChunk_ = bytes;
}

void ScriptedLine::FailWriteCompletion(int error, int times, std::uint32_t written)
{
    std::lock_guard lock(mutex_);
    completionError_ = error;
    completionTimes_ = times;
    completionWritten_ = written;
}

void ScriptedLine::Unplug(int error, bool failWaits)
{
    std::lock_guard lock(mutex_);
    unplugged_ = true;
    unplugError_ = error;
    failWaits_ = failWaits;
    input_.clear();
    Wake();
    writesChanged_.SetEvent();
}

void ScriptedLine::Plug()
{
    std::lock_guard lock(mutex_);
    unplugged_ = false;
}

std::string ScriptedLine::openedPath() const
{
    std::lock_guard l(mutex_);
    return path_;
}
bool ScriptedLine::isOpen() const
{
    std::lock_guard l(mutex_);
    return open_;
}
int ScriptedLine::openCount() const
{
    std::lock_guard l(mutex_);
    return openCount_;
}
std::vector<Dcb> ScriptedLine::states() const
{
    std::lock_guard l(mutex_);
    return states_;
}
std::uint32_t ScriptedLine::mask() const
{
    std::lock_guard l(mutex_);
    return mask_;
}
std::uint32_t ScriptedLine::setupIn() const
{
    std::lock_guard l(mutex_);
    return setupIn_;
}
std::uint32_t ScriptedLine::setupOut() const
{
    std::lock_guard l(mutex_);
    return setupOut_;
}
CommTimeouts ScriptedLine::timeouts() const
{
    std::lock_guard l(mutex_);
    return timeouts_;
}
std::vector<std::uint8_t> ScriptedLine::written() const
{
    std::lock_guard l(mutex_);
    return written_;
}
int ScriptedLine::writeCalls() const
{
    std::lock_guard l(mutex_);
    return writeCalls_;
}
int ScriptedLine::cancelledReads() const
{
    std::lock_guard l(mutex_);
    return cancelledReads_;
}
int ScriptedLine::cancelledWrites() const
{
    std::lock_guard l(mutex_);
    return cancelledWrites_;
}
int ScriptedLine::waitsInProgress() const
{
    std::lock_guard l(mutex_);
    return waiting_;
}
std::vector<ScriptedCall> ScriptedLine::calls() const
{
    std::lock_guard l(mutex_);
    return calls_;
}

int ScriptedCommDevice::Open(const std::string& path)
{
    std::lock_guard lock(line_->mutex_);
    if (const int e = line_->Take(ScriptedCall::Open))
        return e;
    if (line_->open_)
        return EBUSY;
    line_->open_ = true;
    line_->path_ = path;
    ++line_->openCount_;
    return 0;
}

void ScriptedCommDevice::Close()
{
    std::lock_guard lock(line_->mutex_);
    line_->open_ = false;
}

int ScriptedCommDevice::SetState(const Dcb& dcb)
{
    std::lock_guard lock(line_->mutex_);
    if (const int e = line_->Take(ScriptedCall::SetState))
        return e;
    line_->states_.push_back(dcb);
    return 0;
}

int ScriptedCommDevice::Setup(std::uint32_t inQueue, std::uint32_t outQueue)
{
    std::lock_guard lock(line_->mutex_);
    if (const int e = line_->Take(ScriptedCall::Setup))
        return e;
    line_->setupIn_ = inQueue;
    line_->setupOut_ = outQueue;
    return 0;
}

int ScriptedCommDevice::SetTimeouts(const CommTimeouts& timeouts)
{
    std::lock_guard lock(line_->mutex_);
    if (const int e = line_->Take(ScriptedCall::SetTimeouts))
        return e;
    line_->timeouts_ = timeouts;
    return 0;
}

int ScriptedCommDevice::SetMask(std::uint32_t mask)
{
    std::lock_guard lock(line_->mutex_);
    if (const int e = line_->Take(ScriptedCall::SetMask))
        return e;
    line_->mask_ = mask;
    line_->pending_ &= mask;
    return 0;
}

int ScriptedCommDevice::ClearError(std::uint32_t& errors, ComStat& stat)
{
    std::lock_guard lock(line_->mutex_);
    if (const int e = line_->Take(ScriptedCall::ClearError))
        return e;
    errors = line_->errors_;
    line_->errors_ = 0;
    stat = ComStat{};
    stat.cbInQue = static_cast<std::uint32_t>(line_->input_.size()) + line_->overstate_;
    return 0;
}

WaitStatus ScriptedCommDevice::WaitEvent(std::uint32_t& mask, TVaWaitEvent& stop, int& error)
{
    std::unique_lock lock(line_->mutex_);
    if (const int e = line_->Take(ScriptedCall::WaitEvent)) {
        error = e;
        return WaitStatus::Failed;
    }
    ++line_->waiting_;
    for (;;) {
        if (line_->unplugged_ && line_->failWaits_) {
            --line_->waiting_;
            error = line_->unplugError_;
            return WaitStatus::Failed;
        }
        if (line_->pending_ != 0 && !line_->holdEvents_) {
            mask = line_->pending_;
            line_->pending_ = 0;
            --line_->waiting_;
            return WaitStatus::Events;
        }
        line_->changed_.ResetEvent();
        lock.unlock();
        TVaWaitEvent* wakers[2] = {&stop, &line_->changed_};
        const int which = WaitForAny(wakers, 2, kInfinite);
        lock.lock();
        if (which == 0) {
            --line_->waiting_;
            return WaitStatus::Stopped;
        }
    }
}

IoStatus ScriptedCommDevice::Read(void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent& ioEvent,
                                  std::uint32_t timeoutMs, int& error)
{
    std::unique_lock lock(line_->mutex_);
    done = 0;
    if (const int e = line_->Take(ScriptedCall::Read)) {
        error = e;
        return IoStatus::Failed;
    }
    if (line_->stallReads_) {
        lock.unlock();
        ioEvent.ResetEvent();
        ioEvent.WaitFor(timeoutMs);
        lock.lock();
        ++line_->cancelledReads_;
        return IoStatus::TimedOut;
    }
    const std::size_t n = std::min<std::size_t>(count, line_->input_.size());
    std::copy_n(line_->input_.begin(), n, static_cast<std::uint8_t*>(buffer));
    line_->input_.erase(line_->input_.begin(), line_->input_.begin() + static_cast<std::ptrdiff_t>(n));
    done = static_cast<std::uint32_t>(n);
    return IoStatus::Done;
}

IoStatus ScriptedCommDevice::Write(const void* buffer, std::uint32_t count, std::uint32_t& done, TVaWaitEvent& ioEvent,
                                   TVaWaitEvent* stop, std::uint32_t timeoutMs, int& error)
{
    std::unique_lock lock(line_->mutex_);
    done = 0;
    ++line_->writeCalls_;
    if (const int e = line_->Take(ScriptedCall::Write)) {
        error = e;
        return IoStatus::Failed;
    }
    while (line_->stallWrites_ && !line_->unplugged_) {
        line_->writesChanged_.ResetEvent();
        lock.unlock();
        TVaWaitEvent* wakers[2] = {&line_->writesChanged_, stop ? stop : &ioEvent};
        const int which = WaitForAny(wakers, 2, timeoutMs);
        lock.lock();
        if (which != 0) {
            ++line_->cancelledWrites_;
            return which == 1 && stop ? IoStatus::Stopped : IoStatus::TimedOut;
        }
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    if (line_->unplugged_) {
        error = line_->unplugError_;
        return IoStatus::CompletionFailed;
    }
    if (line_->completionTimes_ > 0) {
        --line_->completionTimes_;
        error = line_->completionError_;
        done = std::min(count, line_->completionWritten_);
        line_->written_.insert(line_->written_.end(), bytes, bytes + done);
        return IoStatus::CompletionFailed;
    }
    const std::uint32_t n = line_->writeChunk_ ? std::min(count, line_->writeChunk_) : count;
    line_->written_.insert(line_->written_.end(), bytes, bytes + n);
    done = n;
    if (line_->peer_) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::vector<std::uint8_t> reply = line_->peer_(bytes[i]);
            line_->input_.insert(line_->input_.end(), reply.begin(), reply.end());
            if (!reply.empty())
                line_->pending_ |= EV_RXCHAR & line_->mask_;
        }
        line_->Wake();
    }
    if (line_->mask_ & EV_TXEMPTY) {
        line_->pending_ |= EV_TXEMPTY;
        line_->Wake();
    }
    return IoStatus::Done;
}

bool ScriptedCommDevice::IsLineLost(int) const
{
    std::lock_guard lock(line_->mutex_);
    return line_->unplugged_;
}

CommDeviceFactory ScriptedFactory(std::shared_ptr<ScriptedLine> line)
{
    return [line] { return std::make_unique<ScriptedCommDevice>(line); };
}

}  // namespace serial
