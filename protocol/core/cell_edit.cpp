#include "protocol/core/cell_edit.h"

#include <algorithm>

#include "files/atomic_file.h"
#include "files/cp1251.h"
#include "files/file_error.h"
#include "protocol/core/limit_marker.h"
#include "protocol/core/protocol.h"

namespace protocol {

namespace {

template <class Edit>
std::optional<std::string> EditComment(const std::string& path, Edit edit)
{
    const std::string shown = files::DisplayText(path);
    bool tooLong = false;
    const auto bytes = files::ReadWholeFile(path, kMaxFileBytes, tooLong);
    if (!bytes)
        return tooLong ? "Файл " + shown + " слишком велик для файла измерения; он не изменён."
                       : "Не удалось прочитать файл " + shown + ".";
    if (bytes->size() < files::kCommentOffset)
        return "В файле " + shown + " меньше 400 выборок: комментарий прочитался бы как выборки. Файл не изменён.";
    // The comment box reads up to a zero byte; what follows stays as it is.
    const std::string_view stored = std::string_view(*bytes).substr(files::kCommentOffset);
    const std::size_t end = std::min(stored.find('\0'), stored.size());
    std::string comment;
    try {
        comment = files::EncodeCp1251OrThrow(edit(files::DecodeCp1251(stored.substr(0, end))));
    } catch (const files::FileError& e) {
        return std::string(e.what());
    }
    const std::string out = bytes->substr(0, files::kCommentOffset) + comment + std::string(stored.substr(end));
    if (out == *bytes)
        return std::nullopt;
    if (const int error = files::WriteFileWhole(path, out))
        return "Не удалось записать файл " + shown + ": " + files::SystemErrorText(error) + ". Файл не изменён.";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> WritePlace(const std::string& path, std::string_view placeUtf8)
{
    std::string place(placeUtf8);
    std::replace_if(
        place.begin(), place.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return EditComment(path, [&](const std::string& comment) {
        return place + comment.substr(std::min(comment.find_first_of("\r\n"), comment.size()));
    });
}

std::optional<std::string> WriteLimit(const std::string& path, std::string_view limitText)
{
    std::optional<double> limit;
    if (limitText.find_first_not_of(" \t") != std::string_view::npos) {
        double value = 0.0;
        if (!ParseLimit(std::string(limitText), value))
            return "Норма Кп — число от 0 до 100 (%); файл не изменён.";
        limit = value;
    }
    return EditComment(path, [&](const std::string& comment) { return WithLimitMarker(comment, limit); });
}

}  // namespace protocol
