// Runs the real stand-in program on a pseudo-terminal and talks to it like the
// window does: discovery through its sysfs description, then commands over the
// port link.
#include "device/port_discovery.h"
#include "device/reply.h"
#include "helpers/standin_fixture.h"

namespace {

TEST_F(StandIn, IsDiscoveredAndAnswersLikeTheMeter)
{
    const fs::path sysfs = dir / "sysfs";
    ASSERT_NO_FATAL_FAILURE(Start({"--com", "47", "--ports", (dir / "ports").string(), "--sysfs", sysfs.string(),
                                   "--lux", "640", "--ripple", "25"}));
    EXPECT_EQ(announced["SOVIKAN_SYSFS_ROOT"], sysfs.string());
    EXPECT_EQ(announced["SOVIKAN_METER_COM"], "47");
    const fs::path link = dir / "ports" / "com47";
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), announced["SOVIKAN_METER_TTY"]);

    // Start-up discovery: nothing in the registry, found through sysfs and the link.
    EXPECT_EQ(device::DiscoverMeterPort(device::SystemRegistry(), sysfs), 47);

    ASSERT_NO_FATAL_FAILURE(OpenPort(link));
    const auto started = Clock::now();
    ASSERT_NO_FATAL_FAILURE(Send(device::MeasureCommand(0, 1)));
    const auto reply = Read(811, std::chrono::milliseconds(2000));
    const auto took = Clock::now() - started;
    ASSERT_EQ(reply.size(), 811u);
    // About 100 ms of measuring and 232 ms on the line; the rest is slack for a busy machine.
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    // The line's pace: 811 bytes at 38400 baud, 11 bits each, take about 232 ms.
    EXPECT_GT(took, std::chrono::milliseconds(200));
    analysis::MeasurementRecord rec;
    device::DecodeMeasurementReply(reply, rec);
    EXPECT_EQ(rec.SampleCount, 400);
    EXPECT_EQ(rec.RangeIndex, 5);
    EXPECT_EQ(rec.TimeMultiplier, 1);
    EXPECT_EQ(rec.SampleInterval, 0.25f);
    double sum = 0;
    for (int i = 0; i < rec.SampleCount; ++i)
        sum += rec.Samples[i];
    EXPECT_NEAR(sum / 400 * rec.LuxFactor * rec.RangeDecade, 640, 640 * 0.03);

    ASSERT_NO_FATAL_FAILURE(Send(device::CheckCommand()));
    const auto calibration = Read(37, std::chrono::milliseconds(1000));
    ASSERT_EQ(calibration.size(), 37u);
    const auto cal = device::DecodeCalibrationRecord(std::span<const std::uint8_t, 37>(calibration.data(), 37));
    EXPECT_EQ(cal.OscCal, 0xA7);
    EXPECT_EQ(cal.kT, 0.25f);

    ASSERT_NO_FATAL_FAILURE(Send(device::ReadRecordCommand(3)));
    const auto first = Read(811, std::chrono::milliseconds(1000));
    ASSERT_NO_FATAL_FAILURE(Send(device::ReadRecordCommand(3)));
    EXPECT_EQ(Read(811, std::chrono::milliseconds(1000)), first);
    ASSERT_NO_FATAL_FAILURE(Send(device::ReadRecordCommand(4)));
    const auto next = Read(811, std::chrono::milliseconds(1000));
    ASSERT_EQ(next.size(), 811u);
    EXPECT_NE(next, first);

    // Stopping removes the link and the device description.
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_FALSE(fs::exists(sysfs));
    EXPECT_EQ(device::FindSysfsPort(sysfs, device::kMeterVendorId, device::kMeterProductId, device::kMeterDeviceName),
              -1);
}

TEST_F(StandIn, RefusesAComNumberThatIsTaken)
{
    fs::create_directories(dir / "ports");
    fs::create_symlink("/dev/null", dir / "ports" / "com50");
    pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string ports = (dir / "ports").string();
        ::execl(SOVIKAN_METER_BINARY, SOVIKAN_METER_BINARY, "--ports", ports.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(fs::read_symlink(dir / "ports" / "com50"), "/dev/null");
}

}  // namespace
