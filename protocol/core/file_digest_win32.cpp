#include <windows.h>

#include <bcrypt.h>

#include "protocol/core/file_digest.h"

namespace protocol {

std::optional<Sha256Digest> Sha256(std::string_view bytes)
{
    // BCRYPT_SHA256_ALG_HANDLE needs Windows 10; the provider is opened once instead.
    static const BCRYPT_ALG_HANDLE algorithm = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        return BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0) >= 0 ? h : nullptr;
    }();
    Sha256Digest digest{};
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool done = algorithm && BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
    // BCryptHashData takes at most 4 GiB at a time; a measurement file is far below.
    done = done && BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                  static_cast<ULONG>(bytes.size()), 0) >= 0;
    done = done && BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0) >= 0;
    if (hash)
        BCryptDestroyHash(hash);
    if (!done)
        return std::nullopt;
    return digest;
}

}  // namespace protocol
