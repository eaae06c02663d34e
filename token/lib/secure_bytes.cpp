#include "secure_bytes.h"

#include <openssl/crypto.h>

namespace quillard {

void wipeMemory(void* data, std::size_t size) {
    if (data && size)
        OPENSSL_cleanse(data, size);
}

} // namespace quillard
