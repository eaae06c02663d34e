#include "template_reader.h"

#include "module_error.h"

#include <cstring>

namespace quillard::module {

TemplateReader::TemplateReader(const CK_ATTRIBUTE* attributes, CK_ULONG count)
    : attributes_(attributes), count_(count) {
    if (count && !attributes)
        fail(CKR_ARGUMENTS_BAD);
    for (CK_ULONG i = 0; i < count; ++i)
        if (!attributes[i].pValue && attributes[i].ulValueLen)
            fail(CKR_ARGUMENTS_BAD);
}

const CK_ATTRIBUTE* TemplateReader::find(CK_ATTRIBUTE_TYPE type) const {
    // The last entry of a type counts, as when the template is read in order.
    const CK_ATTRIBUTE* found = nullptr;
    for (CK_ULONG i = 0; i < count_; ++i)
        if (attributes_[i].type == type)
            found = &attributes_[i];
    return found;
}

std::optional<std::vector<uint8_t>> TemplateReader::bytes(CK_ATTRIBUTE_TYPE type) const {
    const CK_ATTRIBUTE* attribute = find(type);
    if (!attribute)
        return std::nullopt;
    const auto* value = static_cast<const uint8_t*>(attribute->pValue);
    return value ? std::vector<uint8_t>(value, value + attribute->ulValueLen) : std::vector<uint8_t>{};
}

std::optional<std::string> TemplateReader::text(CK_ATTRIBUTE_TYPE type) const {
    std::optional<std::vector<uint8_t>> value = bytes(type);
    if (!value)
        return std::nullopt;
    return std::string(value->begin(), value->end());
}

std::optional<CK_ULONG> TemplateReader::ulong(CK_ATTRIBUTE_TYPE type) const {
    const CK_ATTRIBUTE* attribute = find(type);
    if (!attribute)
        return std::nullopt;
    if (attribute->ulValueLen != sizeof(CK_ULONG))
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    CK_ULONG value = 0;
    std::memcpy(&value, attribute->pValue, sizeof value);
    return value;
}

std::optional<bool> TemplateReader::boolean(CK_ATTRIBUTE_TYPE type) const {
    const CK_ATTRIBUTE* attribute = find(type);
    if (!attribute)
        return std::nullopt;
    if (attribute->ulValueLen != sizeof(CK_BBOOL))
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    return *static_cast<const CK_BBOOL*>(attribute->pValue) != CK_FALSE;
}

std::vector<uint8_t> TemplateReader::requiredBytes(CK_ATTRIBUTE_TYPE type) const {
    std::optional<std::vector<uint8_t>> value = bytes(type);
    if (!value || value->empty())
        fail(CKR_TEMPLATE_INCOMPLETE);
    return std::move(*value);
}

} // namespace quillard::module
