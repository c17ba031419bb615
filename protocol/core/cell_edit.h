#pragma once
// Edits made in the protocol's table, written into the point's measurement
// file: a new place (the comment's first line) or a new limit (its "Кп<=N"
// marker). The header, the samples and the rest of the comment stay byte for
// byte; the file is written whole or not at all.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "files/svk_file.h"

namespace protocol {

// The most the protocol reads of a file: the header, 400 samples and a
// comment of 1 MiB. A longer file (a huge file misnamed .svk) is read only
// so far and never edited.
inline constexpr std::size_t kMaxFileBytes = files::kCommentOffset + (std::size_t{1} << 20);

// nullopt when written, else the message to show; the file is then as it was.
std::optional<std::string> WritePlace(const std::string& path, std::string_view placeUtf8);

// `limitText` as typed ("2,5"); blank removes the point's own limit.
std::optional<std::string> WriteLimit(const std::string& path, std::string_view limitText);

}  // namespace protocol
