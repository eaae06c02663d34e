#include "attribute_set.h"

#include <cstring>

namespace quillard::module {

void AttributeSet::setUlong(CK_ATTRIBUTE_TYPE type, CK_ULONG value) {
    std::vector<uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    set(type, std::move(bytes));
}

const std::vector<uint8_t>* AttributeSet::find(CK_ATTRIBUTE_TYPE type) const {
    auto found = values_.find(type);
    return found == values_.end() ? nullptr : &found->second;
}

std::optional<std::span<const uint8_t>> AttributeSet::valueOf(CK_ATTRIBUTE_TYPE type) const {
    if (const std::vector<uint8_t>* value = find(type))
        return std::span<const uint8_t>(*value);
    auto secret = secrets_.find(type);
    if (secret == secrets_.end())
        return std::nullopt;
    return std::span<const uint8_t>(secret->second);
}

bool AttributeSet::flag(CK_ATTRIBUTE_TYPE type) const {
    const std::vector<uint8_t>* value = find(type);
    return value && value->size() == 1 && (*value)[0] != 0;
}

CK_RV AttributeSet::copyInto(CK_ATTRIBUTE* attributes, CK_ULONG count) const {
    CK_RV rv = CKR_OK;
    for (CK_ULONG i = 0; i < count; ++i) {
        CK_ATTRIBUTE& attribute = attributes[i];
        const std::optional<std::span<const uint8_t>> value = valueOf(attribute.type);
        if (sensitive_.count(attribute.type)) {
            attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
            rv = CKR_ATTRIBUTE_SENSITIVE;
        } else if (!value) {
            attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
            if (rv != CKR_ATTRIBUTE_SENSITIVE)
                rv = CKR_ATTRIBUTE_TYPE_INVALID;
        } else if (!attribute.pValue) {
            attribute.ulValueLen = value->size();
        } else if (attribute.ulValueLen < value->size()) {
            attribute.ulValueLen = CK_UNAVAILABLE_INFORMATION;
            if (rv == CKR_OK)
                rv = CKR_BUFFER_TOO_SMALL;
        } else {
            if (!value->empty())
                std::memcpy(attribute.pValue, value->data(), value->size());
            attribute.ulValueLen = value->size();
        }
    }
    return rv;
}

bool AttributeSet::matches(const CK_ATTRIBUTE* attributes, CK_ULONG count) const {
    for (CK_ULONG i = 0; i < count; ++i) {
        const std::optional<std::span<const uint8_t>> value = valueOf(attributes[i].type);
        if (!value || value->size() != attributes[i].ulValueLen)
            return false;
        if (!value->empty() && std::memcmp(value->data(), attributes[i].pValue, value->size()) != 0)
            return false;
    }
    return true;
}

} // namespace quillard::module
