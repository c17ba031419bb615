#include "files/svk_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

#include "files/atomic_file.h"
#include "files/cp1251.h"
#include "files/file_error.h"
#include "files/line_breaks.h"
#include "files/platform.h"

namespace files {

namespace {

void PutLittleEndian(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetLittleEndian(std::string_view in, std::size_t at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return value;
}

std::string ShortRecordMessage(std::int32_t count)
{
    return "Измерение из " + std::to_string(count) +
           " выборок нельзя сохранить с комментарием: в файле данных комментарий "
           "следует за 400 выборками и прочитался бы как выборки. Удалите комментарий "
           "или сохраните измерение как текст (.txt).";
}

// Reads the file up to `maxBytes`, stopping early once a zero byte appears
// at or after `zeroStopsAfter` (the comment ends there and nothing after it
// matters). `whole` tells whether nothing of the file was left unread.
std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t zeroStopsAfter,
                                         std::size_t maxBytes = std::string::npos, bool* whole = nullptr)
{
    auto file = platform::OpenFile(path, "rb");
    if (!file)
        return std::nullopt;
    std::string bytes;
    char buffer[4096];
    for (;;) {
        if (bytes.size() >= maxBytes) {
            if (whole)
                *whole = std::fgetc(file.get()) == EOF;
            return bytes;
        }
        const std::size_t request = std::min(sizeof buffer, maxBytes - bytes.size());
        const std::size_t n = std::fread(buffer, 1, request, file.get());
        const std::size_t before = bytes.size();
        bytes.append(buffer, n);
        if (bytes.size() > zeroStopsAfter && bytes.find('\0', std::max(before, zeroStopsAfter)) != std::string::npos)
            break;
        if (n < request) {
            // A folder opens on some systems and fails at the first read.
            if (std::ferror(file.get()))
                return std::nullopt;
            break;
        }
    }
    if (whole)
        *whole = true;
    return bytes;
}

}  // namespace

std::string EncodeMeasurement(const analysis::MeasurementRecord& record, std::int32_t sampleCount,
                              std::string_view commentBytes)
{
    const std::int32_t count = std::clamp<std::int32_t>(
        sampleCount, 0, std::clamp<std::int32_t>(record.SampleCount, 0, analysis::kSampleCapacity));
    std::string out;
    out.reserve(kHeaderSize + 2 * static_cast<std::size_t>(count) + commentBytes.size());
    PutLittleEndian(out, std::bit_cast<std::uint64_t>(record.RangeDecade), 8);
    PutLittleEndian(out, std::bit_cast<std::uint32_t>(record.LuxFactor), 4);
    PutLittleEndian(out, std::bit_cast<std::uint32_t>(record.SampleInterval), 4);
    PutLittleEndian(out, record.RangeIndex, 1);
    PutLittleEndian(out, record.TimeMultiplier, 1);
    for (std::int32_t i = 0; i < count; ++i)
        PutLittleEndian(out, record.Samples[static_cast<std::size_t>(i)], 2);
    out.append(commentBytes);
    return out;
}

std::optional<DecodedMeasurement> DecodeMeasurement(std::string_view bytes)
{
    if (bytes.size() < kHeaderSize)
        return std::nullopt;
    DecodedMeasurement d;
    auto& r = d.record;
    r.RangeDecade = std::bit_cast<double>(GetLittleEndian(bytes, 0, 8));
    r.LuxFactor = std::bit_cast<float>(static_cast<std::uint32_t>(GetLittleEndian(bytes, 8, 4)));
    r.SampleInterval = std::bit_cast<float>(static_cast<std::uint32_t>(GetLittleEndian(bytes, 12, 4)));
    r.RangeIndex = static_cast<std::uint8_t>(bytes[16]);
    r.TimeMultiplier = static_cast<std::uint8_t>(bytes[17]);
    const std::size_t n = std::min<std::size_t>((bytes.size() - kHeaderSize) / 2, analysis::kFileSampleCount);
    r.SampleCount = static_cast<std::int32_t>(n);
    for (std::size_t i = 0; i < n; ++i)
        r.Samples[i] = static_cast<std::uint16_t>(GetLittleEndian(bytes, kHeaderSize + 2 * i, 2));
    d.commentBytes = std::string(bytes.substr(kHeaderSize + 2 * n));
    return d;
}

std::string CommentFromFile(std::string_view commentBytes)
{
    return DecodeCp1251(WithCrLf(commentBytes.substr(0, commentBytes.find('\0'))));
}

std::string NoHeaderMessage(const std::string& path)
{
    return "Файл " + path + " повреждён: в нём нет заголовка измерения";
}

std::string MeasurementFileBytes(const analysis::MeasurementRecord& record, std::string_view commentUtf8,
                                 SaveResult* result)
{
    const std::string comment = EncodeCp1251OrThrow(WithCrLf(commentUtf8));
    const std::int32_t count = std::clamp<std::int32_t>(record.SampleCount, 0, analysis::kSampleCapacity);
    SaveResult counts;
    counts.samplesWritten = std::min<std::int32_t>(count, analysis::kFileSampleCount);
    counts.samplesDropped = count - counts.samplesWritten;
    if (counts.samplesWritten < analysis::kFileSampleCount && !comment.empty())
        throw FileError(ShortRecordMessage(count));
    if (result)
        *result = counts;
    return EncodeMeasurement(record, counts.samplesWritten, comment);
}

SaveResult WriteMeasurementFile(const std::string& path, const analysis::MeasurementRecord& record,
                                std::string_view commentUtf8)
{
    SaveResult result;
    const std::string bytes = MeasurementFileBytes(record, commentUtf8, &result);

    if (const int error = WriteFileWhole(path, bytes); error != 0)
        throw FileError(SaveFailedMessage(path, error));
    return result;
}

MeasurementFile ReadMeasurementFile(const std::string& path, std::size_t maxBytes)
{
    const auto bytes = ReadFileBytes(path, kCommentOffset, maxBytes);
    if (!bytes)
        throw FileError(CannotOpenMessage(path));
    auto decoded = DecodeMeasurement(*bytes);
    if (!decoded)
        throw FileError(NoHeaderMessage(path));
    return {decoded->record, CommentFromFile(decoded->commentBytes)};
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes, bool& tooLong)
{
    bool whole = false;
    auto bytes = ReadFileBytes(path, std::string::npos, maxBytes, &whole);
    tooLong = bytes && !whole;
    if (!bytes || !whole)
        return std::nullopt;
    return bytes;
}

}  // namespace files
