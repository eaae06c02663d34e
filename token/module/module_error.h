// The failure type inside the module: it carries the CKR_* result a PKCS#11 caller receives. The function
// list catches it at the boundary, so no exception ever leaves the module.
#pragma once

#include "token/lib/driver.h"

#include <p11-kit/pkcs11.h>

namespace quillard::module {

struct ModuleError {
    CK_RV rv;
};

[[noreturn]] inline void fail(CK_RV rv) {
    throw ModuleError{rv};
}

// The PKCS#11 result for a result of the virtual-key driver: most of its codes are PKCS#11 codes already;
// its own codes (storage, containers, memory) get the nearest PKCS#11 meaning.
CK_RV resultToCkr(Result result);

// Throws the PKCS#11 meaning of `result` unless it is QR_OK.
void require(Result result);

} // namespace quillard::module
