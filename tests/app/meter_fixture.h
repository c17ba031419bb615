#pragma once
// The meter's side of the line for window tests: its replies, a record file,
// and a window whose COM58 is a pseudo-terminal played by the test, with no
// meter to be found at start-up.

#include <filesystem>

#include "device/reply.h"
#include "files/svk_file.h"
#include "form_fixture.h"
#include "helpers/pty_pair.h"
#include "helpers/sampled_record.h"

// A measurement reply (leading byte 0x55) of a square wave with a period of 40
// samples around 20000; by default 400 samples at 0.25 ms, range 5.
inline std::vector<std::uint8_t> MeasurementReply(int samples = 400, float lux = 0.5f, std::uint8_t range = 5,
                                                  std::uint8_t multiplier = 1, float intervalTenths = 2.5f)
{
    std::vector<std::uint16_t> s;
    for (int i = 0; i < samples; ++i)
        s.push_back(static_cast<std::uint16_t>(20000 + ((i % 40) < 20 ? 2000 : -2000)));
    return device::EncodeMeasurementReply(s, lux, range, multiplier, intervalTenths, 0x55);
}
inline std::vector<std::uint8_t> Part(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t to)
{
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(to)};
}

// A measurement file of `count` samples cycling through 900..939 lux units,
// range 5, time multiplier 1, 0.25 ms per sample, no comment.
inline void WriteRecordFile(const QString& path, int count)
{
    files::WriteMeasurementFile(path.toStdString(), SampledRecord(count, 1.0f, [](int i) { return 900 + i % 40; }), "");
}

// A pseudo-terminal reachable as COM`com` through a link in the ports folder.
struct PtyPort : PtyPair {
    PtyPort(const QString& ports, int com) : link(ports.toStdString() + "/com" + std::to_string(com))
    {
        std::filesystem::create_directories(link.parent_path());
        std::filesystem::remove(link);
        std::filesystem::create_symlink(path(), link);
    }
    ~PtyPort()
    {
        std::error_code ec;
        std::filesystem::remove(link, ec);
    }
    // What the program wrote while running its event loop, until `count`
    // bytes have come or the time is up.
    std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs = 2000)
    {
        std::vector<std::uint8_t> got;
        RunUntil(
            [&] {
                const auto now = ReadAvailable();
                got.insert(got.end(), now.begin(), now.end());
                return got.size() >= count;
            },
            timeoutMs);
        return got;
    }
    std::filesystem::path link;
};

class PtyFormTest : public FormTest {
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(dir.isValid());
        LookIn("ports", "no-sysfs");
        peer = std::make_unique<PtyPort>(Path("ports"), 58);
        FormTest::SetUp();
    }
    void TearDown() override
    {
        FormTest::TearDown();
        peer.reset();
    }
    // The reply sent, and the event loop run until the window shows it.
    void Reply(const std::vector<std::uint8_t>& bytes, int points)
    {
        peer->Send(bytes);
        ASSERT_TRUE(RunUntil([&] { return form->Series1->PointCount() == points; }, 3000));
    }
    std::unique_ptr<PtyPort> peer;
};
