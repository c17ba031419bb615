// The comment browser over a folder of damaged files: the input is split into
// a few files (most of them padded to reach the comment at byte 818), listed
// under chosen names, some missing or folders; then gathered, every line asked
// for its file, and a search word from the input found again and again.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/comment_browser.h"
#include "files/svk_file.h"
#include "fuzz_support.h"

namespace fs = std::filesystem;

namespace {

using fuzz::Require;

const fs::path& Folder()
{
    return fuzz::ScratchFolder("fuzz_comments");
}

const char* const kNames[] = {"a.svk", "B.SVK", "c.Svk", "d d.svk", "е.svk", "x.svk:===.svk"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 2048)
        return 0;
    FuzzedDataProvider in(data, size);
    const fs::path& folder = Folder();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        fs::remove_all(entry.path(), ec);

    std::vector<std::string> listing;
    const int files = in.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < files; ++i) {
        const std::string name = kNames[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kNames) - 1)];
        listing.push_back(name);
        const int kind = in.ConsumeIntegralInRange(0, 5);
        const fs::path path = folder / name;
        if (kind == 0)
            continue;  // listed, but gone
        if (kind == 1) {
            fs::create_directory(path, ec);  // a folder named *.svk
            continue;
        }
        std::string content = in.ConsumeRandomLengthString(1024);
        if (kind >= 3)
            content.insert(0, files::kCommentOffset, '\x11');
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    const std::string word = in.ConsumeRandomLengthString(8);

    const auto gathered = files::GatherComments(folder.string() + "/", listing);
    const int count = static_cast<int>(gathered.lines.size());
    for (int line = -2; line <= count + 1; ++line) {
        const auto name = files::FileNameAtLine(gathered.lines, line);
        if (name)
            Require(line >= 0);
    }
    const std::string text = files::JoinLines(gathered.lines);
    files::CommentSearch search;
    int previous = -1;
    // A hit on the last characters empties the remainder, so that the next
    // search starts at the top again and may find the same hit: bound the presses.
    for (std::size_t i = 0; i < text.size() + 2; ++i) {
        const auto hit = search.FindNext(text, word);
        if (!hit)
            break;
        Require(hit->start > previous);
        Require(hit->length > 0 && hit->plainStart <= hit->start);
        previous = search.SearchRemainder().empty() ? -1 : hit->start;
    }
    return 0;
}
