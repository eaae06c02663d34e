// What the exported C functions share: running a call on the active driver under the library lock, and
// copying results into a caller's buffers.
#pragma once

#include "driver.h"
#include "library_state.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace quillard {

// Runs `work` with the active driver under the library lock; QR_CRYPTOKI_NOT_INITIALIZED before init_pkcs11.
template <typename Work> int32_t withDriver(Work&& work) {
    LibraryState& state = libraryState();
    std::lock_guard<std::recursive_mutex> lock(state.lock);
    if (!state.driver)
        return QR_CRYPTOKI_NOT_INITIALIZED;
    try {
        return work(*state.driver);
    } catch (const std::bad_alloc&) {
        return QR_HOST_MEMORY;
    } catch (...) {
        return QR_GENERAL_ERROR;
    }
}

// Copies `text` into a caller's buffer of `size` bytes, cut so that the terminating NUL always fits.
inline void copyText(char* buffer, std::size_t size, const std::string& text) {
    std::memset(buffer, 0, size);
    std::memcpy(buffer, text.data(), std::min(text.size(), size - 1));
}

inline bool validSpec(int32_t spec) {
    return spec == 1 || spec == 2;
}

// Copies `bytes` to the caller's buffer; QR_BUFFER_TOO_SMALL with the needed size in *length when it does not
// fit.
inline int32_t copyOut(const std::vector<uint8_t>& bytes, uint8_t* buffer, int32_t* length) {
    if (static_cast<std::size_t>(*length) < bytes.size()) {
        *length = static_cast<int32_t>(bytes.size());
        return QR_BUFFER_TOO_SMALL;
    }
    if (!bytes.empty())
        std::memcpy(buffer, bytes.data(), bytes.size());
    *length = static_cast<int32_t>(bytes.size());
    return QR_OK;
}

} // namespace quillard
