#include "files/comment_browser.h"

#include <algorithm>

#include "files/cp1251.h"
#include "files/platform.h"
#include "files/file_error.h"
#include "files/line_breaks.h"
#include "files/svk_file.h"

namespace files {

namespace {

// UTF-8 to UTF-16; malformed bytes become U+FFFD.
std::u16string ToUtf16(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (b0 < 0x80) {
            cp = b0;
        } else {
            const std::size_t need = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
            if (need > 0 && i + need <= s.size()) {
                char32_t v = b0 & (0x7F >> need);
                bool ok = true;
                for (std::size_t k = 1; k < need && ok; ++k) {
                    const auto b = static_cast<unsigned char>(s[i + k]);
                    ok = (b & 0xC0) == 0x80;
                    v = (v << 6) | (b & 0x3F);
                }
                if (ok) {
                    cp = v;
                    len = need;
                }
            }
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp > 0x10FFFF ? 0xFFFD : cp);
        }
        i += len;
    }
    return out;
}

// Byte positions after the first / before the last `chars` UTF-8 characters.
std::size_t CharStart(std::string_view s, std::size_t chars)
{
    std::size_t i = 0;
    while (i < s.size() && chars > 0) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
        --chars;
    }
    return i;
}

std::size_t CharEnd(std::string_view s, std::size_t chars)
{
    std::size_t i = s.size();
    while (i > 0 && chars > 0) {
        --i;
        while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            --i;
        --chars;
    }
    return i;
}

}  // namespace

std::string FileHeaderLine(std::string_view name)
{
    return "===" + std::string(name) + ":===";
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

GatheredComments GatherComments(const std::string& folder, const std::vector<std::string>& listing)
{
    GatheredComments result;
    for (const std::string& name : listing) {
        const std::string path = folder + name;
        auto file = platform::OpenFile(path, "rb");
        std::string comment;
        bool ok = static_cast<bool>(file) && std::fseek(file.get(), static_cast<long>(kCommentOffset), SEEK_SET) == 0;
        if (ok) {
            char buffer[4096];
            for (;;) {
                const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
                comment.append(buffer, n);
                if (comment.find('\0') != std::string::npos)
                    break;
                if (n < sizeof buffer) {
                    // A folder named *.svk opens on some systems and fails at the read.
                    ok = !std::ferror(file.get());
                    break;
                }
            }
        }
        if (!ok) {
            result.error = CannotOpenMessage(path);
            break;
        }
        result.lines.push_back(FileHeaderLine(name));
        for (auto& line : SplitLines(DecodeCp1251(comment.substr(0, comment.find('\0')))))
            result.lines.push_back(std::move(line));
    }
    return result;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines[i];
    }
    return text;
}

std::optional<std::string> FileNameAtLine(const std::vector<std::string>& lines, int caretLine)
{
    if (lines.empty() || caretLine < 0)
        return std::nullopt;
    for (std::size_t i = std::min<std::size_t>(static_cast<std::size_t>(caretLine), lines.size() - 1) + 1; i-- > 0;) {
        const std::string& line = lines[i];
        if (line.find(".svk:===") != std::string::npos || line.find(".SVK:===") != std::string::npos) {
            const std::size_t from = CharStart(line, 3);
            return line.substr(from, CharEnd(line, 4) - from);
        }
    }
    return std::nullopt;
}

std::optional<SearchHit> CommentSearch::FindNext(std::string_view text, std::string_view word)
{
    if (word.empty())
        return std::nullopt;
    const std::u16string word16 = ToUtf16(word);
    std::u16string text16 = WithCrLf(ToUtf16(text));
    if (!remainder_.empty() && (word16 != word_ || text16 != startText_))
        Reset();
    if (remainder_.empty()) {
        remainder_ = text16;
        startText_ = std::move(text16);
        word_ = word16;
        offset_ = 0;
    }
    const std::size_t at = remainder_.find(word16);
    if (at == std::u16string::npos) {
        Reset();
        return std::nullopt;
    }
    SearchHit hit;
    hit.start = offset_ + static_cast<int>(at);
    hit.length = static_cast<int>(word16.size());
    // Every CR before the hit is the first half of a CR LF pair.
    const auto before = std::u16string_view(startText_).substr(0, static_cast<std::size_t>(hit.start));
    hit.plainStart = hit.start - static_cast<int>(std::count(before.begin(), before.end(), u'\r'));
    // The next search starts two units after the start of this hit.
    const std::size_t drop = std::min(at + 2, remainder_.size());
    remainder_.erase(0, drop);
    offset_ += static_cast<int>(at + 2);
    return hit;
}

void CommentSearch::Reset()
{
    remainder_.clear();
    startText_.clear();
    word_.clear();
    offset_ = 0;
}

}  // namespace files
