// The secret key a C_UnwrapKey or C_DeriveKey makes: a session object (a virtual key keeps no secret keys)
// with the attributes the caller's template gives (key type, label, id, the uses it allows, whether it is
// private, sensitive or extractable) and the unwrapped value, which is readable only when the key is not
// sensitive.
#pragma once

#include "attribute_set.h"
#include "template_reader.h"
#include "token/lib/secure_bytes.h"

namespace quillard::module {

class SecretKeyObject {
public:
    // Throws ModuleError: CKR_TEMPLATE_INCOMPLETE without CKA_KEY_TYPE; CKR_ATTRIBUTE_VALUE_INVALID for a
    // class other than CKO_SECRET_KEY or a key type other than generic secret and AES;
    // CKR_TEMPLATE_INCONSISTENT for CKA_TOKEN true or a CKA_VALUE_LEN other than the value's length;
    // CKR_ATTRIBUTE_READ_ONLY for a CKA_VALUE (the value is the unwrapped one); CKR_WRAPPED_KEY_INVALID for
    // an AES value that is not 16, 24 or 32 bytes long, or an empty value.
    static AttributeSet make(const TemplateReader& reader, SecureBytes value);
};

} // namespace quillard::module
