#pragma once
// The SHA-256 digest that ties a printed protocol to its files, computed by
// the system's crypto library (Nettle on Linux, CNG on Windows).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The digest of the bytes; nullopt when the system's library fails.
std::optional<Sha256Digest> Sha256(std::string_view bytes);

// The digest as 64 lowercase hex digits; empty when it could not be made.
std::string Sha256Hex(std::string_view bytes);

}  // namespace protocol
