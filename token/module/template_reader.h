// Reads the values a caller's attribute template gives (C_CreateObject, C_GenerateKeyPair, C_UnwrapKey),
// checking each value's size for its type.
#pragma once

#include <p11-kit/pkcs11.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillard::module {

class TemplateReader {
public:
    // Throws ModuleError(CKR_ARGUMENTS_BAD) for a null template with entries or an entry without a value.
    TemplateReader(const CK_ATTRIBUTE* attributes, CK_ULONG count);

    // Each throws ModuleError(CKR_ATTRIBUTE_VALUE_INVALID) when the value has the wrong size.
    std::optional<std::vector<uint8_t>> bytes(CK_ATTRIBUTE_TYPE type) const;
    std::optional<std::string> text(CK_ATTRIBUTE_TYPE type) const;
    std::optional<CK_ULONG> ulong(CK_ATTRIBUTE_TYPE type) const;
    std::optional<bool> boolean(CK_ATTRIBUTE_TYPE type) const;
    bool isTrue(CK_ATTRIBUTE_TYPE type) const { return boolean(type).value_or(false); }
    // Throws ModuleError(CKR_TEMPLATE_INCOMPLETE) when `type` is missing.
    std::vector<uint8_t> requiredBytes(CK_ATTRIBUTE_TYPE type) const;

private:
    const CK_ATTRIBUTE* find(CK_ATTRIBUTE_TYPE type) const;

    const CK_ATTRIBUTE* attributes_;
    CK_ULONG count_;
};

} // namespace quillard::module
