// A survey read from the stand-in's memory: svktool download and the download
// library, against the real stand-in program on a pseudo-terminal.
#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "device/memory_reader.h"
#include "device/reply.h"
#include "files/svk_file.h"
#include "meter_model.h"
#include "protocol/core/memory_download.h"
#include "standin_fixture.h"
#include "tool_run.h"

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

}  // namespace
