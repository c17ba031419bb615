#pragma once
// Reading the records kept in the meter's memory one after another, each as the
// window reads one: the read-record command, then everything that arrives
// within 300 ms of the reply's first byte, decoded as the window decodes it.
// Nothing but read-record commands is sent to the meter.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "analysis/measurement.h"
#include "serial/dispatcher.h"
#include "serial/va_comm.h"

namespace device {

inline constexpr const char* kMeterSilentMessage = "Прибор не отвечает";

enum class RecordStatus {
    Read,        // a measurement reply (more than 110 bytes), decoded into `record`
    ShortReply,  // an answer of 110 bytes or fewer: no measurement
    NoReply,     // nothing within the answer time
};

struct MemoryRecord {
    int number = 0;
    RecordStatus status = RecordStatus::Read;
    int byteCount = 0;
    analysis::MeasurementRecord record;
};

// Why a record was not read, in the user's words ("нет ответа", "короткий ответ (37 байт)").
std::string FailureText(const MemoryRecord& record);

enum class RunEnd {
    Completed,    // every record of the range was asked for
    Cancelled,    // Cancel was called
    MeterSilent,  // three records in a row without any answer
    LineLost,     // the meter's line went away (unplugged)
};

struct MemoryRun {
    RunEnd end = RunEnd::Completed;
    int nextRecord = 0;  // the first record of the range not read to its end
    std::string detail;  // LineLost: the component's and the system's words (English formats)
};

struct MemoryTiming {
    std::chrono::milliseconds replyWindow{300};     // from the reply's first byte
    std::chrono::milliseconds answerTimeout{1500};  // from the command to the first byte
    int silentLimit = 3;                            // records in a row without an answer
};

// The name the port `com` has for TVaComm ("COM5") after applying the line
// settings; opens it. An empty text on success, else a Russian message naming
// the port and why it cannot be opened (a port held by another program, as the
// main program holds the meter's port while it runs, is named as such).
std::string OpenMeterPort(serial::TVaComm& comm, int com);

class MemoryReader {
public:
    // `comm` is open; its events come through `loop`, which the thread calling
    // Run runs. The reader takes over the port's received-character and lost-line
    // events for the run.
    MemoryReader(serial::TVaComm& comm, serial::EventLoopDispatcher& loop, MemoryTiming timing = {});

    using Progress = std::function<void(const MemoryRecord&)>;
    // Reads records first..last in order, reporting each after it is done, and
    // closes the port at the end, however the run ends. A port error ends the
    // run as a lost line; it throws only what `progress` throws.
    MemoryRun Run(int first, int last, const Progress& progress);

    // Ends the run at the next moment it waits; callable from any thread.
    void Cancel();

private:
    MemoryRun ReadRecords(int first, int last, const Progress& progress, int& next);
    void Finish();
    // Runs the port's events until `until` or one of the run's ends.
    void WaitUntil(std::chrono::steady_clock::time_point until, const bool* orThis);
    bool Stopped() const { return cancelled_.load() || lost_ || comm_.LineLost(); }

    serial::TVaComm& comm_;
    serial::EventLoopDispatcher& loop_;
    MemoryTiming timing_;
    std::atomic<bool> cancelled_{false};
    bool lost_ = false;
    std::string lostDetail_;
    bool firstByte_ = false;
    std::chrono::steady_clock::time_point firstByteAt_{};
};

}  // namespace device
