// A PKCS#11 attribute template that owns its values, so a template can be built in steps and handed to
// C_CreateObject or C_FindObjectsInit. Values that may be secret are kept in wiping storage.
#pragma once

#include "cryptoki.h"
#include "token/lib/secure_bytes.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace quillard::pkcs11 {

class AttributeSet {
public:
    AttributeSet() = default;
    AttributeSet(const AttributeSet&) = delete;
    AttributeSet& operator=(const AttributeSet&) = delete;
    AttributeSet(AttributeSet&&) = default;
    AttributeSet& operator=(AttributeSet&&) = default;

    AttributeSet& add(CK_ATTRIBUTE_TYPE type, const void* data, std::size_t size);
    AttributeSet& add(CK_ATTRIBUTE_TYPE type, const std::vector<uint8_t>& bytes) {
        return add(type, bytes.data(), bytes.size());
    }
    AttributeSet& add(CK_ATTRIBUTE_TYPE type, const std::string& text) {
        return add(type, text.data(), text.size());
    }
    AttributeSet& addFlag(CK_ATTRIBUTE_TYPE type, bool value);
    AttributeSet& addNumber(CK_ATTRIBUTE_TYPE type, CK_ULONG value);

    CK_ATTRIBUTE* data() { return attributes_.data(); }
    CK_ULONG size() const { return static_cast<CK_ULONG>(attributes_.size()); }

private:
    std::deque<SecureBytes> values_; // a deque keeps each value where the attribute points
    std::vector<CK_ATTRIBUTE> attributes_;
};

} // namespace quillard::pkcs11
