#include "secret_key_object.h"

#include "module_error.h"

namespace quillard::module {

namespace {

void checkKind(const TemplateReader& reader, CK_KEY_TYPE& keyType) {
    if (reader.ulong(CKA_CLASS).value_or(CKO_SECRET_KEY) != CKO_SECRET_KEY)
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    std::optional<CK_ULONG> type = reader.ulong(CKA_KEY_TYPE);
    if (!type)
        fail(CKR_TEMPLATE_INCOMPLETE);
    if (*type != CKK_GENERIC_SECRET && *type != CKK_AES)
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    if (reader.isTrue(CKA_TOKEN))
        fail(CKR_TEMPLATE_INCONSISTENT);
    if (reader.bytes(CKA_VALUE))
        fail(CKR_ATTRIBUTE_READ_ONLY);
    keyType = *type;
}

void checkLength(const TemplateReader& reader, CK_KEY_TYPE keyType, std::size_t length) {
    if (std::optional<CK_ULONG> asked = reader.ulong(CKA_VALUE_LEN); asked && *asked != length)
        fail(CKR_TEMPLATE_INCONSISTENT);
    const bool aesLength = length == 16 || length == 24 || length == 32;
    if (length == 0 || (keyType == CKK_AES && !aesLength))
        fail(CKR_WRAPPED_KEY_INVALID);
}

} // namespace

AttributeSet SecretKeyObject::make(const TemplateReader& reader, SecureBytes value) {
    CK_KEY_TYPE keyType = CKK_GENERIC_SECRET;
    checkKind(reader, keyType);
    checkLength(reader, keyType, value.size());
    AttributeSet attributes;
    attributes.setUlong(CKA_CLASS, CKO_SECRET_KEY);
    attributes.setUlong(CKA_KEY_TYPE, keyType);
    attributes.setBool(CKA_TOKEN, false);
    attributes.setBool(CKA_PRIVATE, reader.boolean(CKA_PRIVATE).value_or(true));
    attributes.setBool(CKA_MODIFIABLE, false);
    attributes.setText(CKA_LABEL, reader.text(CKA_LABEL).value_or(""));
    attributes.set(CKA_ID, reader.bytes(CKA_ID).value_or(std::vector<uint8_t>{}));
    attributes.setBool(CKA_LOCAL, false);
    attributes.setUlong(CKA_KEY_GEN_MECHANISM, CK_UNAVAILABLE_INFORMATION);
    for (CK_ATTRIBUTE_TYPE use :
         {CKA_ENCRYPT, CKA_DECRYPT, CKA_SIGN, CKA_VERIFY, CKA_WRAP, CKA_UNWRAP, CKA_DERIVE})
        attributes.setBool(use, reader.isTrue(use));
    const bool sensitive = reader.isTrue(CKA_SENSITIVE);
    const bool extractable = reader.boolean(CKA_EXTRACTABLE).value_or(true);
    attributes.setBool(CKA_SENSITIVE, sensitive);
    attributes.setBool(CKA_ALWAYS_SENSITIVE, false); // it was outside the key, wrapped
    attributes.setBool(CKA_EXTRACTABLE, extractable);
    attributes.setBool(CKA_NEVER_EXTRACTABLE, false);
    attributes.setUlong(CKA_VALUE_LEN, value.size());
    if (sensitive)
        attributes.setSensitive(CKA_VALUE);
    else
        attributes.setSecret(CKA_VALUE, std::move(value));
    return attributes;
}

} // namespace quillard::module
