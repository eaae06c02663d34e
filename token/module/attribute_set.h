// The attributes of one object as the module shows them: each type with its value bytes, and the types whose
// value never leaves the key (CKA_PRIVATE_EXPONENT and the other secret parts of a private key).
#pragma once

#include <p11-kit/pkcs11.h>

#include <cstdint>
#include <map>
#include <set>
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

    const std::vector<uint8_t>* find(CK_ATTRIBUTE_TYPE type) const;
    bool flag(CK_ATTRIBUTE_TYPE type) const;

    // C_GetAttributeValue's rules: every entry of the template is answered (its length, its value when the
    // buffer is big enough, CK_UNAVAILABLE_INFORMATION when it is secret or unknown), and the result says
    // the gravest of CKR_ATTRIBUTE_SENSITIVE, CKR_ATTRIBUTE_TYPE_INVALID and CKR_BUFFER_TOO_SMALL.
    CK_RV copyInto(CK_ATTRIBUTE* attributes, CK_ULONG count) const;
    // True when every attribute of the search template has exactly this value here.
    bool matches(const CK_ATTRIBUTE* attributes, CK_ULONG count) const;

private:
    std::map<CK_ATTRIBUTE_TYPE, std::vector<uint8_t>> values_;
    std::set<CK_ATTRIBUTE_TYPE> sensitive_;
};

} // namespace quillard::module
