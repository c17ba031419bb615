#include "files/folder.h"

#include <algorithm>

#include "files/platform.h"

namespace files {

namespace {

FolderStep WithPath(FolderStep step, const std::string& currentFileName)
{
    if (step.kind == StepKind::Open)
        step.path = FolderPart(currentFileName) + step.name;
    return step;
}

}  // namespace

PathParts SplitPath(std::string_view path)
{
    std::size_t cut = path.size();
    while (cut > 0 && !platform::IsPathSeparator(path[cut - 1]))
        --cut;
    return {std::string(path.substr(0, cut)), std::string(path.substr(cut))};
}

std::string FolderPart(std::string_view path)
{
    return SplitPath(path).folder;
}

std::string NamePart(std::string_view path)
{
    return SplitPath(path).name;
}

bool MatchesSvkPattern(std::string_view name)
{
    constexpr std::string_view ext = ".svk";
    if (name.size() < ext.size())
        return false;
    const std::string_view tail = name.substr(name.size() - ext.size());
    return std::equal(tail.begin(), tail.end(), ext.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

std::vector<std::string> ListSvkEntries(const std::string& folder)
{
    std::vector<std::string> names = platform::ListFolder(folder);
    std::erase_if(names, [](const std::string& n) { return !MatchesSvkPattern(n); });
    return names;
}

FolderStep NextInListing(const std::vector<std::string>& listing, std::string_view currentName)
{
    const auto current = std::find(listing.begin(), listing.end(), currentName);
    if (current == listing.end() || current + 1 == listing.end())
        return {StepKind::NoMoreFiles, {}, {}};
    return {StepKind::Open, *(current + 1), {}};
}

FolderStep PreviousInListing(const std::vector<std::string>& listing, std::string_view currentName)
{
    if (listing.empty())
        return {};
    if (listing.front() == currentName)
        return {StepKind::NoMoreFiles, {}, {}};
    const auto current = std::find(listing.begin(), listing.end(), currentName);
    if (current == listing.end())
        return {};
    return {StepKind::Open, *(current - 1), {}};
}

FolderStep StepToNextFile(const std::string& currentFileName)
{
    const PathParts parts = SplitPath(currentFileName);
    return WithPath(NextInListing(ListSvkEntries(parts.folder), parts.name), currentFileName);
}

FolderStep StepToPreviousFile(const std::string& currentFileName)
{
    const PathParts parts = SplitPath(currentFileName);
    return WithPath(PreviousInListing(ListSvkEntries(parts.folder), parts.name), currentFileName);
}

}  // namespace files
