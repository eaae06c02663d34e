// The symbolic names of PKCS#11 return values, for messages that say what failed.
#pragma once

#include "cryptoki.h"

namespace quillard::pkcs11 {

// "CKR_PIN_INCORRECT" for 0xA0; "CKR_0x..." with the value for one the table does not know.
const char* ckrName(CK_RV rv);

} // namespace quillard::pkcs11
