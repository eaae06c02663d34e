// The way PKCS#11 functions hand out bytes: with no buffer they tell the length, with one too small they
// answer CKR_BUFFER_TOO_SMALL and the length, and both times the operation goes on; otherwise they copy.
#pragma once

#include <p11-kit/pkcs11.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quillard::module {

class OutputBuffer {
public:
    // Throws ModuleError(CKR_ARGUMENTS_BAD) for a null length.
    OutputBuffer(CK_BYTE* data, CK_ULONG* length);

    // True when the caller only asks for the length or gave a buffer too small: `size` is reported then.
    bool onlyMeasures(std::size_t size) const;
    // CKR_OK for a buffer taken as it is; CKR_BUFFER_TOO_SMALL (and the length) for one too small.
    CK_RV measure(std::size_t size) const;
    template <typename Bytes> void fill(const Bytes& bytes) const {
        if (!bytes.empty())
            std::memcpy(data_, bytes.data(), bytes.size());
        *length_ = bytes.size();
    }

private:
    CK_BYTE* data_;
    CK_ULONG* length_;
};

} // namespace quillard::module
