#pragma once
// Edits made in the protocol's table, written into the point's measurement
// file: a new place (the comment's first line), room (its "Помещение: NAME"
// line) or norm (its "Кп<=N" or "Е>=N" marker). The header, the samples and the rest of the comment stay byte for
// byte; the file is written whole or not at all.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "files/svk_file.h"
#include "protocol/core/point_markers.h"

namespace protocol {

// The most the protocol reads of a file: the header, 400 samples and a
// comment of 1 MiB. A longer file (a huge file misnamed .svk) is read only
// so far and never edited.
inline constexpr std::size_t kMaxFileBytes = files::kCommentOffset + (std::size_t{1} << 20);

// nullopt when written, else the message to show; the file is then as it was.
// A first line that carries a norm or the room is kept: the place goes
// before it.
std::optional<std::string> WritePlace(const std::string& path, std::string_view placeUtf8);

// `text` as typed ("2,5"); blank removes the point's own norm.
std::optional<std::string> WriteNorm(const std::string& path, Norm norm, std::string_view text);

// A blank name removes the point's room.
std::optional<std::string> WriteRoom(const std::string& path, std::string_view nameUtf8);

}  // namespace protocol
