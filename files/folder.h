#pragma once
// Stepping through the measurement files of a folder: the folder listing
// ("*.svk" in the file system's own order, nothing sorted) and the decisions
// of the next-file and previous-file buttons.

#include <string>
#include <string_view>
#include <vector>

namespace files {

inline constexpr const char* kNoMoreFiles = "Больше нет файлов";

struct PathParts {
    std::string folder;  // up to and including the last separator; may be empty
    std::string name;    // the rest
};

// Separators: '/' everywhere; on Windows also '\' and the drive colon.
PathParts SplitPath(std::string_view path);
std::string FolderPart(std::string_view path);
std::string NamePart(std::string_view path);

// The name ends in ".svk" in any letter case (the wildcard "*.svk").
bool MatchesSvkPattern(std::string_view name);

// Entries of `folder` (a folder part; empty is the working folder) matching
// "*.svk", files and folders alike, in enumeration order. Empty when the
// folder does not exist or cannot be read.
std::vector<std::string> ListSvkEntries(const std::string& folder);

enum class StepKind {
    Open,         // open `path`
    NoMoreFiles,  // show the information box kNoMoreFiles
    Nothing,      // do nothing
};

struct FolderStep {
    StepKind kind = StepKind::Nothing;
    std::string name;  // the entry to open (Open only)
    std::string path;  // folder of the current file + name (Open only; filled by StepToNextFile/StepToPreviousFile)
};

// The decisions over a listing; names compare exactly (case-sensitive).
// Next: the entry after the current one; none, or the current file not
// listed at all, is NoMoreFiles.
FolderStep NextInListing(const std::vector<std::string>& listing, std::string_view currentName);
// Previous: an empty listing is Nothing; the current file first is
// NoMoreFiles; the current file not listed is Nothing.
FolderStep PreviousInListing(const std::vector<std::string>& listing, std::string_view currentName);

// The same over a fresh listing of the folder of `currentFileName`.
FolderStep StepToNextFile(const std::string& currentFileName);
FolderStep StepToPreviousFile(const std::string& currentFileName);

}  // namespace files
