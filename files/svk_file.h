#pragma once
// Measurement files (extension svk): an 18-byte header with the scale factors
// of the record, the raw samples, then the comment in code page 1251 to the
// end of the file. Little-endian on every host; no signature, no version and
// no sample count: the reader takes the count from the file size and never
// more than 400 samples, and the comment of a full file starts at byte 818.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/measurement.h"

namespace files {

inline constexpr std::size_t kHeaderSize = 18;
inline constexpr std::size_t kCommentOffset = kHeaderSize + 2 * analysis::kFileSampleCount;  // 818

struct MeasurementFile {
    analysis::MeasurementRecord record;  // SampleCount 0..400, the rest of Samples zero
    std::string commentUtf8;             // lines separated by CR LF
};

// The bytes of a file holding the first `sampleCount` samples (clamped to
// 0..SampleCount) and the comment bytes as given.
std::string EncodeMeasurement(const analysis::MeasurementRecord& record, std::int32_t sampleCount,
                              std::string_view commentBytes);

struct DecodedMeasurement {
    analysis::MeasurementRecord record;
    std::string commentBytes;  // everything after the samples, as stored
};
// nullopt when the bytes are fewer than a header.
std::optional<DecodedMeasurement> DecodeMeasurement(std::string_view bytes);

// Comment bytes as the comment box shows them: cut at the first zero byte,
// lone CR and lone LF made CR LF, decoded to UTF-8.
std::string CommentFromFile(std::string_view commentBytes);

struct SaveResult {
    std::int32_t samplesWritten = 0;
    std::int32_t samplesDropped = 0;  // samples beyond the 400 a file holds
};

// Writes the record and the comment (UTF-8, any line breaks) as a measurement
// file, replacing an existing one. A record of 400 samples is written as it
// is; a longer one (a long reply) is cut to 400, as no reader takes more, and
// the result says how many were dropped; a shorter one is written as it is
// when the comment is empty and refused when it is not, since its comment
// would read back as samples. Raises, before the file is touched,
// EncodingError for characters without a 1251 byte and FileError for a short
// record with a comment. The file is written whole beside the target and then
// put in its place, so a failure (a full disk, a read-only file) leaves what
// was there as it was and raises FileError with SaveFailedMessage.
SaveResult WriteMeasurementFile(const std::string& path, const analysis::MeasurementRecord& record,
                                std::string_view commentUtf8);

// The bytes WriteMeasurementFile writes, with the same refusals; `result`,
// when given, gets the sample counts.
std::string MeasurementFileBytes(const analysis::MeasurementRecord& record, std::string_view commentUtf8,
                                 SaveResult* result = nullptr);

// Reads a measurement file. Raises FileError "Cannot open file <path>" when
// it cannot be opened or read, and a FileError naming the file when it is
// shorter than the header. Of a file longer than `maxBytes` (a huge file
// misnamed .svk, say) only that much is read: its comment is cut there.
MeasurementFile ReadMeasurementFile(const std::string& path, std::size_t maxBytes = std::string::npos);

// The bytes of a file of at most `maxBytes`; nullopt when it cannot be read
// or is longer (then `tooLong` is set).
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes, bool& tooLong);

// The message for a file shorter than the header.
std::string NoHeaderMessage(const std::string& path);

}  // namespace files
