#pragma once
// The comment browser: the comments of all measurement files of a folder
// gathered into one text, a case-sensitive search through it, and the file
// whose block holds a given line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files {

inline constexpr const char* kChoosePathMessage = "Выберите путь, содержащий файлы *.svk";

// "===" + name + ":===".
std::string FileHeaderLine(std::string_view name);

// Text split into lines at CR LF, lone CR and lone LF; a break at the very
// end adds no empty line, and an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

struct GatheredComments {
    std::vector<std::string> lines;    // UTF-8
    std::optional<std::string> error;  // "Cannot open file <path>": gathering stopped there
};

// For each entry of `listing` (names in `folder`, a folder part): its header
// line, then the lines of its comment (from byte 818, cut at the first zero
// byte, code page 1251). An entry that cannot be read ends the gathering; the
// blocks before it stay.
GatheredComments GatherComments(const std::string& folder, const std::vector<std::string>& listing);

// The browser text as the text box holds it: lines joined by "\n".
std::string JoinLines(const std::vector<std::string>& lines);

// The file named by the nearest header line at or above line `caretLine`:
// a line containing ".svk:===" or ".SVK:===" without its first 3 and last 4
// characters. nullopt when there is none.
std::optional<std::string> FileNameAtLine(const std::vector<std::string>& lines, int caretLine);

struct SearchHit {
    int start = 0;       // UTF-16 units before the hit, a line break counting two (CR LF)
    int plainStart = 0;  // the same with a line break counting one, as QPlainTextEdit positions do
    int length = 0;      // UTF-16 units of the search word
};

// The find-next state of the browser. Each search goes on from two units
// after the start of the previous hit; a search that finds nothing starts
// the next one at the top again. Positions are in UTF-16 code units, which
// is how the window's text box counts; for text that code page 1251 can
// hold they equal characters. The search also starts at the top again when
// the browser text or the word differs from the one it began with.
class CommentSearch {
public:
    // `text`: the browser text, UTF-8, lines broken by LF, CR LF or CR.
    // An empty word does nothing and returns nullopt.
    std::optional<SearchHit> FindNext(std::string_view text, std::string_view word);

    void Reset();

    const std::u16string& SearchRemainder() const { return remainder_; }
    int SearchOffset() const { return offset_; }

private:
    std::u16string remainder_;
    int offset_ = 0;
    std::u16string startText_;
    std::u16string word_;
};

}  // namespace files
