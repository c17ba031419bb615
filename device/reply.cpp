#include "device/reply.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace device {

namespace {

float FloatAt(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    const std::uint32_t bits = std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8 |
                               std::uint32_t{bytes[offset + 2]} << 16 | std::uint32_t{bytes[offset + 3]} << 24;
    return std::bit_cast<float>(bits);
}

void PutFloat(std::vector<std::uint8_t>& out, float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(bits >> shift));
}

std::string HexUpper(unsigned value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

}  // namespace

void ReplyReceiver::Received(int count)
{
    RxDataLength = std::clamp(count, 0, kRxBufferSize) - kReplyTrailerSize;
}

void ReplyReceiver::DecodeMeasurement(analysis::MeasurementRecord& record) const
{
    DecodeMeasurementReply(std::span(RxBuffer).first(static_cast<std::size_t>(RxDataLength + kReplyTrailerSize)),
                           record);
}

CalibrationRecord ReplyReceiver::Calibration() const
{
    return DecodeCalibrationRecord(std::span(RxBuffer).first<kCalibrationRecordSize>());
}

void DecodeMeasurementReply(std::span<const std::uint8_t> reply, analysis::MeasurementRecord& record)
{
    if (reply.size() < kMinMeasurementReplySize || reply.size() > kRxBufferSize)
        throw std::invalid_argument("a measurement reply has 111 to 820 bytes, not " + std::to_string(reply.size()));
    const std::size_t n = reply.size() - kReplyTrailerSize;
    record.LuxFactor = FloatAt(reply, n);
    record.RangeIndex = reply[n + 4];
    record.TimeMultiplier = reply[n + 5];
    record.SampleInterval = FloatAt(reply, n + 6) / 10.0f;
    record.RangeDecade = analysis::RangeDecadeFor(record.RangeIndex);
    // Sample j sits at 1 + 2j; with an even n the last high byte is the first trailer byte.
    std::size_t j = 0;
    for (; 1 + 2 * j < n; ++j)
        record.Samples[j] = static_cast<std::uint16_t>(reply[1 + 2 * j] | reply[2 + 2 * j] << 8);
    record.SampleCount = static_cast<std::int32_t>(j);
}

std::vector<std::uint8_t> EncodeMeasurementReply(std::span<const std::uint16_t> samples, float luxFactor,
                                                 std::uint8_t rangeIndex, std::uint8_t timeMultiplier,
                                                 float intervalTenthsMs, std::uint8_t leadingByte)
{
    std::vector<std::uint8_t> out;
    out.reserve(1 + 2 * samples.size() + kReplyTrailerSize);
    out.push_back(leadingByte);
    for (std::uint16_t s : samples) {
        out.push_back(static_cast<std::uint8_t>(s & 0xFF));
        out.push_back(static_cast<std::uint8_t>(s >> 8));
    }
    PutFloat(out, luxFactor);
    out.push_back(rangeIndex);
    out.push_back(timeMultiplier);
    PutFloat(out, intervalTenthsMs);
    return out;
}

CalibrationRecord DecodeCalibrationRecord(std::span<const std::uint8_t, kCalibrationRecordSize> bytes)
{
    CalibrationRecord record;
    for (std::size_t i = 0; i < record.kR.size(); ++i)
        record.kR[i] = FloatAt(bytes, 4 * i);
    record.kT = FloatAt(bytes, 32);
    record.OscCal = bytes[36];
    return record;
}

CalibrationListing ListCalibration(const CalibrationRecord& record, const analysis::NumberFormat& nf)
{
    CalibrationListing listing;
    listing.kT = record.kT;
    listing.lines.push_back("OscCal=" + HexUpper(record.OscCal));
    listing.lines.push_back("kT=" + analysis::FormatFixed(record.kT, 5, nf) + ",");
    for (std::size_t i = 0; i < record.kR.size(); ++i) {
        std::string line = analysis::FormatFixed(record.kR[i], 5, nf);
        line += i + 1 < record.kR.size() ? ",  //kR[" : "   //kR[";
        line += std::to_string(i) + "]";
        if (i == 0)
            line += " Sensitive";
        if (line.size() > 1 && line[1] == ',')
            line[1] = '.';
        listing.lines.push_back(line);
    }
    return listing;
}

}  // namespace device
