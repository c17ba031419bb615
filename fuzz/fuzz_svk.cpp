// Measurement files of any content: decoding, the comment as the comment box
// shows it, a bit-exact re-encoding, and the analysis and text export of the
// record the file gives. Some inputs also go through a real file.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/period.h"
#include "analysis/statistics.h"
#include "files/file_error.h"
#include "files/line_breaks.h"
#include "files/svk_file.h"
#include "files/text_export.h"
#include "fuzz_support.h"

namespace {

using fuzz::Require;

const std::string& TempFile()
{
    static const std::string path = [] {
        std::string p = (std::filesystem::temp_directory_path() / "fuzz_svk.XXXXXX").string();
        const int fd = ::mkstemp(p.data());
        Require(fd >= 0);
        ::close(fd);
        std::atexit([] { std::remove(TempFile().c_str()); });
        return p;
    }();
    return path;
}

void Analyse(const analysis::MeasurementRecord& record)
{
    const analysis::NumberFormat nf{",", " "};
    analysis::ShowStatistics(record, 0, record.SampleCount - 1, nf);
    analysis::PeriodSearch(record, 3, true, nf);
    const int last = record.SampleCount - 1;
    files::ExportRows(record, 0, last, files::ExportMode::Time, nf);
    files::ExportRows(record, last / 3, last, files::ExportMode::Samples, nf);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto decoded = files::DecodeMeasurement(bytes);
    if (size < files::kHeaderSize) {
        Require(!decoded);
        return 0;
    }
    Require(decoded.has_value());
    const auto& record = decoded->record;
    Require(record.SampleCount >= 0 && record.SampleCount <= analysis::kFileSampleCount);
    Require(record.SampleCount == static_cast<int>(std::min<std::size_t>((size - files::kHeaderSize) / 2, 400)));
    // The file is the header, the samples and the comment bytes, nothing lost.
    Require(files::EncodeMeasurement(record, record.SampleCount, decoded->commentBytes) == bytes);

    const std::string comment = files::CommentFromFile(decoded->commentBytes);
    Require(files::WithCrLf(comment) == comment);
    Analyse(record);

    if (size % 7 == 0) {
        {
            std::ofstream out(TempFile(), std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        const files::MeasurementFile file = files::ReadMeasurementFile(TempFile());
        Require(file.record.SampleCount == record.SampleCount);
        Require(file.commentUtf8 == comment);
    }
    return 0;
}
