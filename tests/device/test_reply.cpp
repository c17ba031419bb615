#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "device/commands.h"
#include "device/reply.h"

namespace {

using analysis::MeasurementRecord;
using analysis::NumberFormat;
using device::ReplyReceiver;

const NumberFormat kPoint{".", ","};
const NumberFormat kComma{",", " "};

// Little-endian bytes of a float, written out by hand so the test does not
// depend on the host's byte order.
std::vector<std::uint8_t> Le(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

// A reply of `size` bytes: byte 0, sample bytes from a pattern, then the trailer.
std::vector<std::uint8_t> Reply(std::size_t size, float lux, std::uint8_t range, std::uint8_t mult, float interval)
{
    std::vector<std::uint8_t> r(size);
    r[0] = 0xEE;
    const std::size_t n = size - 10;
    for (std::size_t i = 1; i < n; ++i)
        r[i] = static_cast<std::uint8_t>(i * 37 + 11);
    auto put = [&](std::size_t at, const std::vector<std::uint8_t>& bytes) {
        for (std::size_t k = 0; k < bytes.size(); ++k)
            r[at + k] = bytes[k];
    };
    put(n, Le(lux));
    r[n + 4] = range;
    r[n + 5] = mult;
    put(n + 6, Le(interval));
    return r;
}

ReplyReceiver Receive(const std::vector<std::uint8_t>& bytes)
{
    ReplyReceiver rx;
    std::memcpy(rx.RxBuffer.data(), bytes.data(), bytes.size());
    rx.Received(static_cast<int>(bytes.size()));
    return rx;
}

TEST(Commands, AreTheBytesTheMeterExpects)
{
    EXPECT_EQ(device::MeasureCommand(0, 255), (device::CommandBytes{48, 255}));
    EXPECT_EQ(device::MeasureCommand(8, 1), (device::CommandBytes{56, 1}));
    EXPECT_EQ(device::MeasureCommand(3, 256 + 7), (device::CommandBytes{51, 7}));
    EXPECT_EQ(device::ReadRecordCommand(0), (device::CommandBytes{64, 0}));
    EXPECT_EQ(device::ReadRecordCommand(39), (device::CommandBytes{64, 39}));
    EXPECT_EQ(device::CheckCommand(), (device::CommandBytes{32}));
}

TEST(MeasurementReply, Of811BytesGives400SamplesAndTheTrailer)
{
    // 1.0f is 00 00 80 3F; 15.0f (tenths of ms) is 00 00 70 41.
    auto bytes = Reply(811, 1.0f, 5, 2, 15.0f);
    ASSERT_EQ((std::vector<std::uint8_t>(bytes.begin() + 801, bytes.begin() + 805)),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x80, 0x3F}));
    auto rx = Receive(bytes);
    EXPECT_EQ(rx.RxDataLength, 801);
    ASSERT_TRUE(rx.IsMeasurement());
    MeasurementRecord rec;
    rx.DecodeMeasurement(rec);
    EXPECT_EQ(rec.SampleCount, 400);
    EXPECT_EQ(rec.LuxFactor, 1.0f);
    EXPECT_EQ(rec.RangeIndex, 5);
    EXPECT_EQ(rec.TimeMultiplier, 2);
    EXPECT_EQ(rec.SampleInterval, 1.5f);
    EXPECT_EQ(rec.RangeDecade, 1.0);
    for (int j = 0; j < 400; ++j)
        ASSERT_EQ(rec.Samples[j], bytes[1 + 2 * j] | bytes[2 + 2 * j] << 8) << j;
    EXPECT_EQ(rec.Samples[0], 48 | 85 << 8);  // bytes 1 and 2 of the pattern
}

TEST(MeasurementReply, Of111BytesIsTheSmallestMeasurement)
{
    auto bytes = Reply(111, 0.02f, 8, 255, 2.5f);
    auto rx = Receive(bytes);
    ASSERT_TRUE(rx.IsMeasurement());
    MeasurementRecord rec;
    rec.Samples[50] = 4321;  // stale entries stay as they were
    rx.DecodeMeasurement(rec);
    EXPECT_EQ(rec.SampleCount, 50);  // n = 101
    EXPECT_EQ(rec.Samples[49], bytes[99] | bytes[100] << 8);
    EXPECT_EQ(rec.Samples[50], 4321);
    EXPECT_EQ(rec.LuxFactor, 0.02f);
    EXPECT_EQ(rec.RangeIndex, 8);
    EXPECT_EQ(rec.TimeMultiplier, 255);
    EXPECT_EQ(rec.SampleInterval, 0.25f);
    EXPECT_EQ(rec.RangeDecade, 1000.0);
}

TEST(MeasurementReply, Of110BytesIsTakenAsCalibration)
{
    auto rx = Receive(Reply(110, 1.0f, 5, 1, 2.5f));
    EXPECT_EQ(rx.RxDataLength, 100);
    EXPECT_FALSE(rx.IsMeasurement());
    MeasurementRecord rec;
    EXPECT_THROW(rx.DecodeMeasurement(rec), std::invalid_argument);
    EXPECT_THROW(device::DecodeMeasurementReply(std::vector<std::uint8_t>(110), rec), std::invalid_argument);
    EXPECT_THROW(device::DecodeMeasurementReply(std::vector<std::uint8_t>(821), rec), std::invalid_argument);
}

TEST(MeasurementReply, Of820BytesWithEvenNSharesTheLastHighByteWithTheTrailer)
{
    auto bytes = Reply(820, -2.0f, 1, 1, 2.5f);  // -2.0f is 00 00 00 C0
    bytes[809] = 0x34;
    auto rx = Receive(bytes);
    MeasurementRecord rec;
    rx.DecodeMeasurement(rec);
    EXPECT_EQ(rec.SampleCount, 405);
    EXPECT_EQ(rec.Samples[404], 0x0034);  // high byte is the lux factor's first byte
    EXPECT_EQ(rec.LuxFactor, -2.0f);
    EXPECT_DOUBLE_EQ(rec.RangeDecade, 1e-4);
}

TEST(MeasurementReply, OddTrailerValuesAreTakenUnchanged)
{
    MeasurementRecord rec;
    device::DecodeMeasurementReply(Reply(811, std::numeric_limits<float>::infinity(), 0, 0, NAN), rec);
    EXPECT_TRUE(std::isinf(rec.LuxFactor));
    EXPECT_TRUE(std::isnan(rec.SampleInterval));
    EXPECT_EQ(rec.RangeIndex, 0);
    EXPECT_EQ(rec.TimeMultiplier, 0);
    EXPECT_DOUBLE_EQ(rec.RangeDecade, 1e-4);
    device::DecodeMeasurementReply(Reply(811, 1.0f, 255, 1, 2.5f), rec);
    EXPECT_EQ(rec.RangeIndex, 255);
    EXPECT_TRUE(std::isfinite(rec.RangeDecade));
}

TEST(Receiver, CountsOutsideTheBufferAreClamped)
{
    ReplyReceiver rx;
    rx.Received(0);  // port closed or nothing waiting
    EXPECT_EQ(rx.RxDataLength, -10);
    EXPECT_FALSE(rx.IsMeasurement());
    rx.Received(-1);
    EXPECT_EQ(rx.RxDataLength, -10);
    rx.Received(5000);
    EXPECT_EQ(rx.RxDataLength, 810);
}

std::vector<std::uint8_t> CalibrationBytes(float firstKr, float step, float kT, std::uint8_t osc)
{
    std::vector<std::uint8_t> b;
    for (int i = 0; i < 8; ++i) {
        auto f = Le(firstKr + step * static_cast<float>(i));
        b.insert(b.end(), f.begin(), f.end());
    }
    auto t = Le(kT);
    b.insert(b.end(), t.begin(), t.end());
    b.push_back(osc);
    return b;
}

TEST(Calibration, ExampleWithDecimalComma)
{
    auto rx = Receive(CalibrationBytes(1.5f, 0.5f, 0.1f, 0xA7));
    ASSERT_FALSE(rx.IsMeasurement());
    auto listing = device::ListCalibration(rx.Calibration(), kComma);
    EXPECT_EQ(listing.kT, 0.1f);
    EXPECT_EQ(listing.lines, (std::vector<std::string>{
                                 "OscCal=A7",
                                 "kT=0,10000,",
                                 "1.50000,  //kR[0] Sensitive",
                                 "2.00000,  //kR[1]",
                                 "2.50000,  //kR[2]",
                                 "3.00000,  //kR[3]",
                                 "3.50000,  //kR[4]",
                                 "4.00000,  //kR[5]",
                                 "4.50000,  //kR[6]",
                                 "5.00000   //kR[7]",
                             }));
}

TEST(Calibration, ExampleWithDecimalPoint)
{
    auto listing = device::ListCalibration(Receive(CalibrationBytes(1.5f, 0.5f, 0.1f, 0xA7)).Calibration(), kPoint);
    ASSERT_EQ(listing.lines.size(), 10u);
    EXPECT_EQ(listing.lines[0], "OscCal=A7");
    EXPECT_EQ(listing.lines[1], "kT=0.10000,");
    EXPECT_EQ(listing.lines[2], "1.50000,  //kR[0] Sensitive");
    EXPECT_EQ(listing.lines[9], "5.00000   //kR[7]");
}

TEST(Calibration, OnlyASecondCharacterCommaBecomesAPoint)
{
    auto listing = device::ListCalibration(Receive(CalibrationBytes(-1.25f, 6.0f, 12.5f, 0x05)).Calibration(), kComma);
    EXPECT_EQ(listing.lines[0], "OscCal=5");
    EXPECT_EQ(listing.lines[1], "kT=12,50000,");
    EXPECT_EQ(listing.lines[2], "-1,25000,  //kR[0] Sensitive");  // negative keeps its comma
    EXPECT_EQ(listing.lines[3], "4.75000,  //kR[1]");
    EXPECT_EQ(listing.lines[4], "10,75000,  //kR[2]");  // two-digit value keeps its comma
}

TEST(Calibration, ShortReplyReusesTheRestOfAnEarlierOne)
{
    ReplyReceiver rx;
    auto first = CalibrationBytes(1.5f, 0.5f, 0.1f, 0xA7);
    std::memcpy(rx.RxBuffer.data(), first.data(), first.size());
    rx.Received(37);
    // Five new bytes: kR[0] becomes 3.0 (00 00 40 40), the OscCal stays.
    const std::uint8_t part[] = {0x00, 0x00, 0x40, 0x40, 0x99};
    std::memcpy(rx.RxBuffer.data(), part, sizeof part);
    rx.Received(5);
    ASSERT_FALSE(rx.IsMeasurement());
    auto cal = rx.Calibration();
    EXPECT_EQ(cal.kR[0], 3.0f);
    EXPECT_EQ(cal.OscCal, 0xA7);
    EXPECT_EQ(cal.kT, 0.1f);
}

TEST(Calibration, NonFiniteValuesAndZeroOscCalAreListed)
{
    device::CalibrationRecord rec;
    rec.kR.fill(std::numeric_limits<float>::quiet_NaN());
    rec.kR[7] = -std::numeric_limits<float>::infinity();
    rec.kT = std::numeric_limits<float>::infinity();
    auto listing = device::ListCalibration(rec, kComma);
    EXPECT_EQ(listing.lines[0], "OscCal=0");
    EXPECT_EQ(listing.lines[1], "kT=INF,");
    EXPECT_EQ(listing.lines[2], "NAN,  //kR[0] Sensitive");
    EXPECT_EQ(listing.lines[9], "-INF   //kR[7]");
}

}  // namespace

TEST(MeasurementReply, EncodedReplyDecodesToItsFields)
{
    std::vector<std::uint16_t> samples;
    for (int i = 0; i < 400; ++i)
        samples.push_back(static_cast<std::uint16_t>(i * 163 + 7));
    const auto bytes = device::EncodeMeasurementReply(samples, 0.0201f, 6, 3, 2.5f, 64);
    ASSERT_EQ(bytes.size(), 811u);
    EXPECT_EQ(bytes[0], 64);
    MeasurementRecord rec;
    device::DecodeMeasurementReply(bytes, rec);
    EXPECT_EQ(rec.SampleCount, 400);
    EXPECT_EQ(std::vector<std::uint16_t>(rec.Samples.begin(), rec.Samples.begin() + 400), samples);
    EXPECT_EQ(rec.LuxFactor, 0.0201f);
    EXPECT_EQ(rec.RangeIndex, 6);
    EXPECT_EQ(rec.TimeMultiplier, 3);
    EXPECT_EQ(rec.SampleInterval, 0.25f);
}
