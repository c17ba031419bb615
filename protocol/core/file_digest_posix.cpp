#include "protocol/core/file_digest.h"

#include <nettle/sha2.h>

namespace protocol {

std::optional<Sha256Digest> Sha256(std::string_view bytes)
{
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    Sha256Digest digest;
    sha256_digest(&ctx, digest.size(), digest.data());
    return digest;
}

}  // namespace protocol
