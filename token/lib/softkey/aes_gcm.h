// AES-256-GCM sealing of small secrets (master keys, private keys). A sealed blob is IV || ciphertext || tag;
// the associated text binds a blob to its purpose, so a blob moved to another place of the database does not
// open.
#pragma once

#include "token/lib/secure_bytes.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quillard::softkey {

class AesGcm {
public:
    static constexpr std::size_t kKeySize = 32;
    static constexpr std::size_t kIvSize = 12;
    static constexpr std::size_t kTagSize = 16;
    static constexpr std::size_t kOverhead = kIvSize + kTagSize;

    // Encrypts under `key` with a fresh random IV.
    static std::vector<uint8_t> seal(const SecureBytes& key, const uint8_t* plain, std::size_t size,
                                     std::string_view associated);
    // Decrypts a sealed blob; false when it was sealed under another key or text, or has been damaged.
    static bool open(const SecureBytes& key, const std::vector<uint8_t>& sealed, std::string_view associated,
                     SecureBytes& plain);
};

} // namespace quillard::softkey
