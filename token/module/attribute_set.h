// The attributes of one object as the module shows them: each type with its value bytes, and the types whose
// value never leaves the key (CKA_PRIVATE_EXPONENT and the other secret parts of a private key). A secret
// value that may be read (the CKA_VALUE of a secret key made not sensitive) is kept in wiping storage.
#pragma once

#include "token/lib/secure_bytes.h"

#include <p11-kit/pkcs11.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <vector>

namespace quillard::module {

class AttributeSet {
public:
    void set(CK_ATTRIBUTE_TYPE type, std::vector<uint8_t> value) { values_[type] = std::move(value); }
    void setText(CK_ATTRIBUTE_TYPE type, std::string_view text) { set(type, {text.begin(), text.end()}); }
    void setBool(CK_ATTRIBUTE_TYPE type, bool value) { set(type, {static_cast<uint8_t>(value ? 1 : 0)}); }
    void setUlong(CK_ATTRIBUTE_TYPE type, CK_ULONG value);
    // Marks `type` as present but never revealed.
    void setSensitive(CK_ATTRIBUTE_TYPE type) { sensitive_.insert(type); }
    // A value kept in wiping storage; find() does not give it, C_GetAttributeValue and searches do.
    void setSecret(CK_ATTRIBUTE_TYPE type, SecureBytes value) { secrets_[type] = std::move(value); }

    const std::vector<uint8_t>* find(CK_ATTRIBUTE_TYPE type) const;
    bool flag(CK_ATTRIBUTE_TYPE type) const;

    // C_GetAttributeValue's rules: every entry of the template is answered (its length, its value when the
    // buffer is big enough, CK_UNAVAILABLE_INFORMATION when it is secret or unknown), and the result says
    // the gravest of CKR_ATTRIBUTE_SENSITIVE, CKR_ATTRIBUTE_TYPE_INVALID and CKR_BUFFER_TOO_SMALL.
    CK_RV copyInto(CK_ATTRIBUTE* attributes, CK_ULONG count) const;
    // True when every attribute of the search template has exactly this value here.
    bool matches(const CK_ATTRIBUTE* attributes, CK_ULONG count) const;

private:
    // The value of `type`, plain or secret; nullopt when there is none.
    std::optional<std::span<const uint8_t>> valueOf(CK_ATTRIBUTE_TYPE type) const;

    std::map<CK_ATTRIBUTE_TYPE, std::vector<uint8_t>> values_;
    std::map<CK_ATTRIBUTE_TYPE, SecureBytes> secrets_;
    std::set<CK_ATTRIBUTE_TYPE> sensitive_;
};

} // namespace quillard::module
