#include "device/memory_reader.h"

#include <array>

#include "device/commands.h"
#include "device/line.h"
#include "device/port_busy.h"
#include "device/reply.h"
#include "serial/comm_device.h"

namespace device {

using Clock = std::chrono::steady_clock;

std::string FailureText(const MemoryRecord& record)
{
    switch (record.status) {
    case RecordStatus::Read:
        return {};
    case RecordStatus::ShortReply:
        return "короткий ответ (" + std::to_string(record.byteCount) + " байт)";
    case RecordStatus::NoReply:
        break;
    }
    return "нет ответа";
}

std::string OpenMeterPort(serial::TVaComm& comm, int com)
{
    ApplyLineSettings(comm);
    comm.SetDeviceName("COM%d");
    comm.SetPortNum(com);
    try {
        comm.Open();
        return {};
    } catch (const serial::EVaCommError&) {
        // The component's message is English; ask the system once more for the
        // code, to tell a held port from a missing one.
        const auto probe = serial::CreateSystemCommDevice();
        const int code = probe->Open(comm.DevicePath());
        if (code == 0) {
            probe->Close();
            return "Невозможно открыть порт COM" + std::to_string(com) + ": порт не принимает настройки линии прибора.";
        }
        if (IsPortBusyError(code))
            return "Невозможно открыть порт COM" + std::to_string(com) +
                   ": его занимает другая программа (обычно это программа «СОВИКАН ТР07»). "
                   "Закройте её и повторите.";
        return "Невозможно открыть порт COM" + std::to_string(com) + ": " + probe->ErrorText(code);
    }
}

MemoryReader::MemoryReader(serial::TVaComm& comm, serial::EventLoopDispatcher& loop, MemoryTiming timing)
    : comm_(comm), loop_(loop), timing_(timing)
{
}

void MemoryReader::Cancel()
{
    cancelled_ = true;
    loop_.Post([] {});  // wakes the waiting run
}

void MemoryReader::WaitUntil(Clock::time_point until, const bool* orThis)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() > 0)
        loop_.RunUntil([&] { return Stopped() || (orThis && *orThis); }, left);
}

MemoryRun MemoryReader::Run(int first, int last, const Progress& progress)
{
    // A read or write error of the port that is not a lost line is thrown by
    // the component; for the run it is one all the same: the port is closed
    // and the error's words are kept for the user's details.
    int next = first;
    try {
        return ReadRecords(first, last, progress, next);
    } catch (const serial::EVaCommError& e) {
        lost_ = true;
        lostDetail_ = e.what();
    }
    MemoryRun run;
    run.end = cancelled_ ? RunEnd::Cancelled : RunEnd::LineLost;
    run.nextRecord = next;
    run.detail = lostDetail_;
    Finish();
    return run;
}

void MemoryReader::Finish()
{
    comm_.Close();
    comm_.OnRxChar = nullptr;
    comm_.OnLineLost = nullptr;
    comm_.OnException = nullptr;
}

MemoryRun MemoryReader::ReadRecords(int first, int last, const Progress& progress, int& next)
{
    comm_.OnRxChar = [this](serial::TVaCustomComm&, std::int32_t) {
        // As the window's reply timer: the window runs from the first byte.
        if (!firstByte_) {
            firstByte_ = true;
            firstByteAt_ = Clock::now();
        }
    };
    comm_.OnLineLost = [this](serial::TVaCustomComm&, const std::string& detail) {
        lost_ = true;
        lostDetail_ = detail;
    };
    // An error of the port met while its events are handled ends the run too.
    comm_.OnException = [this](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            lostDetail_ = e.what();
        } catch (...) {
        }
        lost_ = true;
    };

    ReplyReceiver rx;
    MemoryRun run;
    int silent = 0;
    auto finish = [&](RunEnd end, int next) {
        run.end = end;
        run.nextRecord = next;
        if (end == RunEnd::LineLost) {
            // The component closes the port and reports the loss through the loop.
            loop_.RunUntil([&] { return lost_; }, std::chrono::milliseconds(1000));
            run.detail = lostDetail_;
        }
        Finish();
        return run;
    };
    auto interrupted = [&](int k) { return finish(cancelled_ ? RunEnd::Cancelled : RunEnd::LineLost, k); };

    for (int k = first; k <= last; ++k) {
        next = k;
        if (Stopped())
            return interrupted(k);
        // Bytes left over from an earlier answer are no part of this one.
        while (comm_.ReadBuf(rx.RxBuffer.data(), kRxBufferSize) > 0) {}
        loop_.RunPending();
        firstByte_ = false;
        const Clock::time_point sent = Clock::now();
        for (std::uint8_t b : ReadRecordCommand(k))
            if (!comm_.WriteChar(b))
                return interrupted(k);

        WaitUntil(sent + timing_.answerTimeout, &firstByte_);
        if (Stopped())
            return interrupted(k);
        MemoryRecord result;
        result.number = k;
        if (!firstByte_) {
            result.status = RecordStatus::NoReply;
            if (progress)
                progress(result);
            if (++silent >= timing_.silentLimit)
                return finish(RunEnd::MeterSilent, k + 1);
            continue;
        }
        silent = 0;
        WaitUntil(firstByteAt_ + timing_.replyWindow, nullptr);
        if (Stopped())
            return interrupted(k);
        const std::int32_t count = comm_.ReadBuf(rx.RxBuffer.data(), kRxBufferSize);
        if (Stopped())
            return interrupted(k);
        rx.Received(count);
        result.byteCount = count;
        if (rx.IsMeasurement()) {
            rx.DecodeMeasurement(result.record);
            result.status = RecordStatus::Read;
        } else {
            result.status = RecordStatus::ShortReply;
        }
        if (progress)
            progress(result);
    }
    return finish(RunEnd::Completed, last + 1);
}

}  // namespace device
