#include "protocol/core/memory_download.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>

#include "device/commands.h"
#include "files/atomic_file.h"
#include "files/file_error.h"
#include "files/platform.h"
#include "files/svk_file.h"
#include "serial/dispatcher.h"
#include "serial/va_comm.h"

namespace protocol {

namespace {

std::string TwoDigits(int number)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

std::string WithSeparator(std::string folder)
{
    if (!folder.empty() && !files::platform::IsPathSeparator(folder.back()))
        folder += '/';
    return folder;
}

// 0 when a new file can be made in the folder, else the code of the failure.
int ProbeFiles(const std::string& folder)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = WithSeparator(folder) + "~probe-" + std::to_string(attempt) + ".tmp";
        int error = 0;
        if (auto file = files::platform::CreateNewFile(path, error)) {
            file.reset();
            files::platform::RemoveFile(path);
            return 0;
        }
        if (error != EEXIST)
            return error != 0 ? error : EIO;
    }
    return 0;  // leftovers of earlier probes: the folder takes files
}

// The folder above `path` ("/a" of "/a/b/", "/" of "/a", "." of "a"); empty above the top.
std::string ParentFolder(std::string path)
{
    while (path.size() > 1 && files::platform::IsPathSeparator(path.back()))
        path.pop_back();
    std::size_t cut = path.size();
    while (cut > 0 && !files::platform::IsPathSeparator(path[cut - 1]))
        --cut;
    if (cut == 0)
        return path == "." || path.empty() ? std::string() : std::string(".");
    if (cut == path.size())
        return {};  // the root
    const bool root = cut == 1 || (cut == 3 && path[1] == ':');
    return path.substr(0, root ? cut : cut - 1);
}

// ProbeFiles of the folder or, while it is still to be made, of the nearest
// folder above it that exists.
int ProbeFolder(const std::string& folder)
{
    std::string place = folder;
    for (int up = 0; up < 256; ++up) {
        const int error = ProbeFiles(place);
        const std::string parent = files::platform::ErrnoOf(error) == ENOENT ? ParentFolder(place) : std::string();
        if (parent.empty())
            return error;
        place = parent;
    }
    return ENOENT;
}

std::string EndMessage(device::RunEnd end)
{
    switch (end) {
    case device::RunEnd::Completed:
        return {};
    case device::RunEnd::Cancelled:
        return "Чтение отменено.";
    case device::RunEnd::MeterSilent:
        return std::string(device::kMeterSilentMessage) + ": три записи подряд без ответа.";
    case device::RunEnd::LineLost:
        break;
    }
    return "Связь с прибором потеряна. Подключите прибор и повторите чтение.";
}

}  // namespace

int DownloadResult::SavedCount() const
{
    int n = 0;
    for (const auto& r : records)
        n += r.saved ? 1 : 0;
    return n;
}

std::vector<std::string> DownloadResult::Summary() const
{
    std::vector<std::string> lines;
    if (!openError.empty())
        return {openError};
    // "из 1 записи", "из 21 записи", "из 11 записей", "из 40 записей".
    const std::size_t total = records.size();
    const char* noun = total % 10 == 1 && total % 100 != 11 ? " записи." : " записей.";
    lines.push_back("Сохранено " + std::to_string(SavedCount()) + " из " + std::to_string(total) + noun);
    if (!endMessage.empty())
        lines.push_back(endMessage);
    for (const auto& r : records)
        if (!r.saved)
            lines.push_back(RecordPlace(r.number) + " не сохранена: " + r.problem);
    return lines;
}

std::string RecordPlace(int number)
{
    return "Запись " + TwoDigits(number);
}

std::string RecordComment(int number, const std::tm& readAt)
{
    char when[64];
    std::strftime(when, sizeof when, "%d.%m.%Y %H:%M:%S", &readAt);
    return RecordPlace(number) + "\r\nСчитана из памяти прибора " + when;
}

DownloadedRecord SaveRecord(const std::string& folder, int number, const analysis::MeasurementRecord& record,
                            const std::tm& readAt)
{
    DownloadedRecord saved;
    saved.number = number;
    std::string bytes;
    try {
        bytes = files::MeasurementFileBytes(record, RecordComment(number, readAt));
    } catch (const std::exception& e) {
        saved.problem = e.what();
        return saved;
    }
    for (int copy = 1; copy < 1000; ++copy) {
        const std::string name = RecordPlace(number) + (copy == 1 ? "" : " (" + std::to_string(copy) + ")") + ".svk";
        const int error = files::WriteNewFileWhole(WithSeparator(folder) + name, bytes);
        if (error == EEXIST)
            continue;
        if (error != 0) {
            saved.problem = "не удалось записать файл " + name + ": " + files::SystemErrorText(error);
            saved.writeFailed = true;
            return saved;
        }
        saved.saved = true;
        saved.fileName = name;
        return saved;
    }
    saved.problem = "все имена от «" + RecordPlace(number) + ".svk» до «… (999).svk» заняты";
    return saved;
}

bool ParseRecordRange(const std::string& text, int& first, int& last)
{
    const auto number = [](const char* from, const char* to, int& value) {
        const auto r = std::from_chars(from, to, value);
        return r.ec == std::errc() && r.ptr == to && value >= 0 && value < device::kStoredRecordCount;
    };
    const char* begin = text.data();
    const char* end = begin + text.size();
    const auto dash = text.find('-');
    int a = 0, b = 0;
    if (dash == std::string::npos) {
        if (!number(begin, end, a))
            return false;
        b = a;
    } else if (!number(begin, begin + dash, a) || !number(begin + dash + 1, end, b) || a > b) {
        return false;
    }
    first = a;
    last = b;
    return true;
}

void MemoryDownload::Cancel()
{
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (reader_)
        reader_->Cancel();
}

DownloadResult MemoryDownload::Run(const DownloadRequest& request, const Progress& progress)
{
    DownloadResult result;
    try {
        RunOn(request, progress, result);
    } catch (const std::exception& e) {
        // Nothing of the run should throw; if something does, the run ends
        // here with what was saved kept, and the port closed with the component.
        result.end = device::RunEnd::LineLost;
        result.endMessage = "Чтение прервано из-за внутренней ошибки программы.";
        result.endDetails = e.what();
        const int next = result.records.empty() ? request.first : result.records.back().number + 1;
        for (int k = next; k <= request.last; ++k)
            result.records.push_back({k, false, {}, "чтение прервано"});
    }
    return result;
}

void MemoryDownload::RunOn(const DownloadRequest& request, const Progress& progress, DownloadResult& result)
{
    // A folder that takes no files is found before the meter is asked for anything.
    if (const int error = ProbeFolder(request.folder); error != 0) {
        result.openError = "В папку " + request.folder + " нельзя записать файлы: " + files::SystemErrorText(error);
        return;
    }
    serial::EventLoopDispatcher loop;
    serial::TVaComm comm(loop, request.device);
    result.openError = device::OpenMeterPort(comm, request.com);
    if (!result.openError.empty())
        return;
    // Made only now that the meter can be read: a run that cannot start leaves no empty folder behind.
    std::error_code ec;
    const std::filesystem::path folder(std::u8string(request.folder.begin(), request.folder.end()));
    if (!std::filesystem::is_directory(folder, ec) && !std::filesystem::create_directories(folder, ec)) {
        result.openError = "Не удалось создать папку «" + request.folder +
                           "»: " + files::SystemErrorText(ec ? ec.default_error_condition().value() : EIO) + ".";
        return;
    }
    device::MemoryReader reader(comm, loop, request.timing);
    // Cancel reaches the reader while it exists, however the run ends.
    struct Registration {
        MemoryDownload& download;
        ~Registration()
        {
            std::lock_guard lock(download.mutex_);
            download.reader_ = nullptr;
        }
    } registration{*this};
    {
        std::lock_guard lock(mutex_);
        reader_ = &reader;
        if (cancelled_)
            reader.Cancel();
    }
    bool saveFailed = false;
    const device::MemoryRun run = reader.Run(request.first, request.last, [&](const device::MemoryRecord& m) {
        DownloadedRecord saved;
        saved.number = m.number;
        if (m.status != device::RecordStatus::Read) {
            saved.problem = device::FailureText(m);
        } else if (m.record.SampleCount < analysis::kFileSampleCount) {
            // A reply cut short holds fewer samples than a data file takes.
            saved.problem = "неполный ответ (" + std::to_string(m.byteCount) + " байт)";
        } else {
            saved = SaveRecord(request.folder, m.number, m.record, files::platform::LocalTime(std::time(nullptr)));
        }
        result.records.push_back(saved);
        if (progress)
            progress(saved);
        // The next files would fail as this one did: stop reading.
        if (saved.writeFailed && !saveFailed) {
            saveFailed = true;
            reader.Cancel();
        }
    });
    result.end = run.end;
    result.endMessage =
        saveFailed ? "Чтение остановлено: файлы не записываются в папку " + request.folder + "." : EndMessage(run.end);
    result.endDetails = run.detail;
    const std::string notRead = saveFailed                             ? "чтение остановлено"
                                : run.end == device::RunEnd::Cancelled ? "чтение отменено"
                                : run.end == device::RunEnd::LineLost ? "связь с прибором потеряна"
                                                                      : "прибор не отвечает";
    for (int k = run.nextRecord; k <= request.last; ++k)
        result.records.push_back({k, false, {}, notRead});
}

}  // namespace protocol
