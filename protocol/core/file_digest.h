#pragma once
// The SHA-256 digest that ties a printed protocol to its files, computed by
// the system's crypto library (Nettle on Linux, CNG on Windows).

#include <string>
#include <string_view>

namespace protocol {

// The digest of the bytes as 64 lowercase hex digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace protocol
