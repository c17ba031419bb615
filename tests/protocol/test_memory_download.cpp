// A survey read from the stand-in's memory: svktool download and the download
// library, against the real stand-in program on a pseudo-terminal.
#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <thread>

#include "device/memory_reader.h"
#include "device/reply.h"
#include "files/svk_file.h"
#include "meter_model.h"
#include "protocol/core/memory_download.h"
#include "serial/scripted_meter.h"
#include "helpers/standin_fixture.h"
#include "helpers/tool_run.h"

namespace {

class Download : public StandIn {
protected:
    void StartMeter(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--com", "47", "--ports", (dir / "ports").string(), "--sysfs",
                                 (dir / "sysfs").string(), "--seed", "4"});
        ASSERT_NO_FATAL_FAILURE(Start(args));
        out = dir / "survey";
    }

    ToolRun Svktool(const std::string& args) const
    {
        return RunTool("'" SVKTOOL_PATH "' download " + args, (dir / "stderr.log").string());
    }

    static std::string Bytes(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // The file of record k as the window saves it after reading the stand-in's
    // record: header and samples byte for byte, the place and when it was read.
    void ExpectSavedRecord(const fs::path& file, int k) const
    {
        const std::string bytes = Bytes(file);
        analysis::MeasurementRecord record;
        device::DecodeMeasurementReply(*model.StoredRecord(k), record);
        const std::string expected = files::MeasurementFileBytes(record, "");
        ASSERT_GE(bytes.size(), expected.size()) << file;
        EXPECT_EQ(bytes.substr(0, expected.size()), expected) << file;
        const std::string comment = files::CommentFromFile(bytes.substr(expected.size()));
        EXPECT_TRUE(comment.starts_with(protocol::RecordPlace(k) + "\r\nСчитана из памяти прибора ")) << comment;
    }

    static std::vector<std::string> Names(const fs::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path out;
    meter::Meter model{meter::Light{}, 0, 4};
};

TEST_F(Download, FortyRecordsSavedByteForByteAndASecondRunOverwritesNothing)
{
    ASSERT_NO_FATAL_FAILURE(StartMeter({}));
    const ToolRun run = Svktool("COM47 '" + out.string() + "'");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Сохранено 40 из 40 записей."), std::string::npos) << run.out;
    ASSERT_EQ(Names(out).size(), 40u);
    for (int k = 0; k < 40; ++k)
        ExpectSavedRecord(out / (protocol::RecordPlace(k) + ".svk"), k);

    const std::string before = Bytes(out / "Запись 01.svk");
    const ToolRun again = Svktool("COM47 '" + out.string() + "' --records 0-2");
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_NE(again.out.find("Запись 01: Запись 01 (2).svk"), std::string::npos) << again.out;
    EXPECT_EQ(Names(out).size(), 43u);
    EXPECT_EQ(Bytes(out / "Запись 01.svk"), before);
    ExpectSavedRecord(out / "Запись 01 (2).svk", 1);
}

TEST_F(Download, SilentAndShortRecordsAreNamedAndTheOthersSaved)
{
    ASSERT_NO_FATAL_FAILURE(StartMeter({"--silent-record", "2", "--short-record", "4"}));
    const ToolRun run = Svktool("COM47 '" + out.string() + "' --records 1-5");
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("Запись 02 не сохранена: нет ответа"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Запись 04 не сохранена: короткий ответ (37 байт)"), std::string::npos) << run.out;
    EXPECT_EQ(Names(out), (std::vector<std::string>{"Запись 01.svk", "Запись 03.svk", "Запись 05.svk"}));
    ExpectSavedRecord(out / "Запись 05.svk", 5);
}

TEST_F(Download, APortHeldByTheMainProgramIsNamedAndNoFolderIsLeftBehind)
{
    ASSERT_NO_FATAL_FAILURE(StartMeter({}));
    serial::EventLoopDispatcher loop;
    serial::TVaComm held(loop);
    ASSERT_EQ(device::OpenMeterPort(held, 47), "");
    const ToolRun run = Svktool("COM47 '" + (out / "2026-12-09").string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("COM47"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("СОВИКАН ТР07"), std::string::npos) << run.err;
    // Neither the folder asked for nor the one above it, both new, is left.
    EXPECT_FALSE(fs::exists(out)) << run.err;
}

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The user cancels, or pulls the meter's cable, once record 10 is saved.
class Interrupted : public Download, public ::testing::WithParamInterface<device::RunEnd> {};

TEST_P(Interrupted, AfterRecordTenLeavesOnlyCompleteFilesOneMessageAndAClosedPort)
{
    ASSERT_NO_FATAL_FAILURE(StartMeter({}));
    fs::create_directories(out);
    protocol::MemoryDownload download;
    protocol::DownloadRequest request;
    request.com = 47;
    request.folder = out.string();
    protocol::DownloadResult result;
    std::thread worker([&] {
        result = download.Run(request, [&](const protocol::DownloadedRecord& r) {
            if (r.number != 10)
                return;
            if (GetParam() == device::RunEnd::Cancelled)
                download.Cancel();
            else
                ::kill(pid, SIGKILL);
        });
    });
    worker.join();
    EXPECT_EQ(result.end, GetParam());
    EXPECT_EQ(result.SavedCount(), 11);
    ASSERT_EQ(result.records.size(), 40u);
    EXPECT_FALSE(result.records[11].saved);
    // One message for the user about how the run ended.
    EXPECT_FALSE(result.endMessage.empty());
    EXPECT_EQ(Names(out).size(), 11u);
    for (int k = 0; k <= 10; ++k)
        ExpectSavedRecord(out / (protocol::RecordPlace(k) + ".svk"), k);
    if (GetParam() == device::RunEnd::Cancelled) {
        // The port is free again.
        serial::EventLoopDispatcher loop;
        serial::TVaComm again(loop);
        EXPECT_EQ(device::OpenMeterPort(again, 47), "");
    }
    // Nothing keeps running afterwards.
    const double cpu = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LT(CpuSeconds() - cpu, 0.02);
}

INSTANTIATE_TEST_SUITE_P(CancelAndUnplug, Interrupted,
                         ::testing::Values(device::RunEnd::Cancelled, device::RunEnd::LineLost));

TEST(DownloadSummary, CountsInRussian)
{
    const std::pair<int, const char*> cases[] = {{1, "Сохранено 1 из 1 записи."},
                                                 {2, "Сохранено 2 из 2 записей."},
                                                 {11, "Сохранено 11 из 11 записей."},
                                                 {21, "Сохранено 21 из 21 записи."},
                                                 {40, "Сохранено 40 из 40 записей."}};
    for (const auto& [count, text] : cases) {
        protocol::DownloadResult result;
        result.records.assign(static_cast<std::size_t>(count), {0, true, "x.svk", {}});
        EXPECT_EQ(result.Summary().front(), text);
    }
}

// The same library on a scripted line, for faults a real port cannot be made to show.
class ScriptedDownload : public ::testing::Test {
protected:
    protocol::DownloadResult Run(int first, int last, const protocol::MemoryDownload::Progress& progress = {})
    {
        protocol::DownloadRequest request;
        request.com = 47;
        request.folder = folder;
        request.first = first;
        request.last = last;
        request.timing.replyWindow = std::chrono::milliseconds(30);
        request.timing.answerTimeout = std::chrono::milliseconds(300);
        request.device = meter.Factory();
        protocol::DownloadResult result;
        std::thread worker([&] { result = download.Run(request, progress); });
        worker.join();
        return result;
    }
    int Commands() const { return static_cast<int>(meter.line->written().size()) / 2; }
    static bool AllRussian(const std::string& text)
    {
        return std::none_of(text.begin(), text.end(),
                            [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    }

    test_support::TempFolder temp;
    std::string folder = temp.Folder();
    serial::ScriptedMeter meter;
    protocol::MemoryDownload download;
};

// A driver error that is not a lost line (EIO), from record 3 on: in the
// reads of the replies, or in the port's status the events are handled with.
struct PortError {
    serial::ScriptedCall call;
    int after;  // calls that succeed first
    const char* detail;
};

class PortErrorDownload : public ScriptedDownload, public ::testing::WithParamInterface<PortError> {};

TEST_P(PortErrorDownload, EndsTheRunAsALostLineWithTheSavedKept)
{
    meter.line->Fail(GetParam().call, EIO, -1, GetParam().after);
    const protocol::DownloadResult result = Run(0, 9);
    EXPECT_EQ(result.end, device::RunEnd::LineLost);
    ASSERT_EQ(result.records.size(), 10u);
    EXPECT_EQ(result.SavedCount(), 3);
    EXPECT_TRUE(fs::exists(temp.Path() / "Запись 02.svk"));
    EXPECT_FALSE(meter.line->isOpen());
    // A Russian sentence; the component's words go into the details.
    EXPECT_EQ(result.endMessage, "Связь с прибором потеряна. Подключите прибор и повторите чтение.");
    EXPECT_TRUE(AllRussian(result.endMessage));
    EXPECT_EQ(result.endDetails.rfind(GetParam().detail, 0), 0u) << result.endDetails;
    for (const std::string& line : result.Summary())
        EXPECT_TRUE(AllRussian(line)) << line;
}

INSTANTIATE_TEST_SUITE_P(ReadAndStatus, PortErrorDownload,
                         ::testing::Values(PortError{serial::ScriptedCall::Read, 7, "Read error (5)"},
                                           PortError{serial::ScriptedCall::ClearError, 3, "Error retrieving"}));

TEST_F(ScriptedDownload, AReplyCutShortIsNamedAsSuch)
{
    meter.CutReply(1, 500);
    const protocol::DownloadResult result = Run(0, 2);
    ASSERT_EQ(result.records.size(), 3u);
    EXPECT_TRUE(result.records[0].saved);
    EXPECT_EQ(result.records[1].problem, "неполный ответ (500 байт)");
    EXPECT_TRUE(result.records[2].saved);
}

TEST_F(ScriptedDownload, AFolderThatTakesNoFilesIsFoundBeforeTheMeterIsAsked)
{
    temp.Write("taken", "");
    folder = temp / "taken/survey";  // a file where a folder should be
    const protocol::DownloadResult result = Run(0, 39);
    EXPECT_NE(result.openError.find("нельзя записать"), std::string::npos) << result.openError;
    EXPECT_EQ(Commands(), 0);
    // A folder still to be made is tried where it will be made.
    folder = temp / "new/survey";
    EXPECT_EQ(Run(0, 0).openError, "");
}

TEST_F(ScriptedDownload, TheFirstFileRefusedStopsTheReading)
{
    // The user deletes the folder once record 1 is saved.
    const protocol::DownloadResult result = Run(0, 39, [&](const protocol::DownloadedRecord& r) {
        if (r.number == 1)
            fs::remove_all(temp.Path());
    });
    ASSERT_EQ(result.records.size(), 40u);
    EXPECT_EQ(result.SavedCount(), 2);
    EXPECT_NE(result.records[2].problem.find("не удалось записать файл Запись 02.svk"), std::string::npos);
    EXPECT_EQ(result.records[3].problem, "чтение остановлено");
    EXPECT_LE(Commands(), 4);
    EXPECT_TRUE(result.endMessage.starts_with("Чтение остановлено")) << result.endMessage;
}

}  // namespace
