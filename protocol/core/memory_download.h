#pragma once
// A survey from the meter's memory: every record of a range read and saved as
// a measurement file of its own ("Запись NN.svk"), as the main window's
// "Сохранить" would save it after reading that record. A file is written whole
// or not at all and never replaces one that exists: the name gets the first
// free " (2)", " (3)" ... instead.

#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "analysis/measurement.h"
#include "device/memory_reader.h"

namespace protocol {

struct DownloadRequest {
    int com = 0;
    std::string folder;  // with or without the trailing separator; made once the port is open
    int first = 0;
    int last = 39;
    device::MemoryTiming timing;
    serial::CommDeviceFactory device;  // the port's device; the system's when empty
};

struct DownloadedRecord {
    int number = 0;
    bool saved = false;
    std::string fileName;      // saved: the file's name in the folder
    std::string problem;       // not saved: why
    bool writeFailed = false;  // not saved because the folder refused the file
};

struct DownloadResult {
    std::string openError;  // not empty: the folder takes no files or the port could not be opened; nothing was read
    device::RunEnd end = device::RunEnd::Completed;
    std::string endMessage;                 // how a run that stopped early ended, for the user
    std::string endDetails;                 // the component's and the system's words about it
    std::vector<DownloadedRecord> records;  // one per record asked for, in order

    int SavedCount() const;
    bool AllSaved() const { return openError.empty() && SavedCount() == static_cast<int>(records.size()); }
    // "Сохранено 38 из 40 записей." and, when some were not, the lines naming
    // them; the details are not among them.
    std::vector<std::string> Summary() const;
};

// "Запись 05"
std::string RecordPlace(int number);
// The comment of a downloaded record: its place, then when it was read.
std::string RecordComment(int number, const std::tm& readAt);
// Saves the record under the first free name; the file's name, or a problem
// text in `problem`.
DownloadedRecord SaveRecord(const std::string& folder, int number, const analysis::MeasurementRecord& record,
                            const std::tm& readAt);

// A range syntax "A-B" or "A" (0..39, A <= B); false when it is not one.
bool ParseRecordRange(const std::string& text, int& first, int& last);

class MemoryDownload {
public:
    using Progress = std::function<void(const DownloadedRecord&)>;
    // Opens the port, reads and saves the records, closes the port. `progress`
    // runs on the calling thread after each record. Throws nothing: whatever
    // goes wrong ends the run with a message.
    DownloadResult Run(const DownloadRequest& request, const Progress& progress);
    // Callable from any thread, also before Run has opened the port.
    void Cancel();

private:
    void RunOn(const DownloadRequest& request, const Progress& progress, DownloadResult& result);
    std::mutex mutex_;
    device::MemoryReader* reader_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace protocol
