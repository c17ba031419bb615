#include "protocol/core/cell_edit.h"

#include <algorithm>

#include "files/atomic_file.h"
#include "files/cp1251.h"
#include "files/file_error.h"
#include "protocol/core/point_markers.h"
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

namespace {

std::string OneLine(std::string_view text)
{
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return line;
}

}  // namespace

std::optional<std::string> WritePlace(const std::string& path, std::string_view placeUtf8)
{
    const std::string place = OneLine(placeUtf8);
    return EditComment(path, [&](const std::string& comment) {
        const std::size_t end = std::min(comment.find_first_of("\r\n"), comment.size());
        if (CarriesProtocolData(std::string_view(comment).substr(0, end)))
            return place + "\r\n" + comment;
        return place + comment.substr(end);
    });
}

std::optional<std::string> WriteNorm(const std::string& path, Norm norm, std::string_view text)
{
    std::optional<double> value;
    if (text.find_first_not_of(" \t") != std::string_view::npos) {
        double parsed = 0.0;
        if (!ParseNorm(std::string(text), norm, parsed))
            return norm == Norm::Pulsation ? "Норма Кп — число от 0 до 100 (%); файл не изменён."
                                           : "Норма E — число больше 0 и не больше 100 000 (лк); файл не изменён.";
        value = parsed;
    }
    return EditComment(path, [&](const std::string& comment) { return WithNormMarker(comment, norm, value); });
}

std::optional<std::string> WriteRoom(const std::string& path, std::string_view nameUtf8)
{
    const std::string name = OneLine(nameUtf8);
    return EditComment(path, [&](const std::string& comment) { return WithRoom(comment, name); });
}

}  // namespace protocol
