// An edit of the protocol's table on any file: the file's bytes and an edit
// (the place, the room or a norm, any text) in; out a file the reader takes,
// with its first 818 bytes as they were and the edit read back, or a refusal
// with its message and the file as it was.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "files/svk_file.h"
#include "protocol/core/cell_edit.h"
#include "protocol/core/point_markers.h"
#include "protocol/core/protocol.h"
#include "fuzz_support.h"

namespace fs = std::filesystem;

namespace {

using fuzz::Require;

const fs::path& Folder()
{
    return fuzz::ScratchFolder("fuzz_comment_edit");
}

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096)
        return 0;
    FuzzedDataProvider in(data, size);
    const int kind = in.ConsumeIntegralInRange(0, 3);
    const std::string text = in.ConsumeRandomLengthString(64);
    std::string bytes = in.ConsumeRemainingBytesAsString();
    // Most inputs reach the comment: samples before it.
    if (!bytes.empty() && bytes.front() % 4 != 0)
        bytes.insert(0, files::kCommentOffset, '\x11');
    const fs::path path = Folder() / "a.svk";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    const std::string file = path.string();
    const auto refused = kind == 0   ? protocol::WritePlace(file, text)
                         : kind == 1 ? protocol::WriteRoom(file, text)
                         : kind == 2 ? protocol::WriteNorm(file, protocol::Norm::Pulsation, text)
                                     : protocol::WriteNorm(file, protocol::Norm::Illuminance, text);
    const std::string after = Read(path);
    if (refused) {
        Require(!refused->empty());
        Require(after == bytes);
        return 0;
    }
    Require(after.size() >= files::kCommentOffset);
    Require(after.compare(0, files::kCommentOffset, bytes, 0, files::kCommentOffset) == 0);
    const protocol::ProtocolRow row = protocol::ReadRow(Folder().string() + "/", "a.svk", {});
    Require(row.readable);
    std::string line = text;
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    if (kind == 0)
        Require(after.find('\0', files::kCommentOffset) != std::string::npos || row.place == line);
    return 0;
}
