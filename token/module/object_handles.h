// Object handles: each object of a key (a certificate, public key or private key of one container and key
// specification) gets a handle the first time the module shows it, and keeps it while the module is
// initialised, so a handle never names another object. Session objects (secret keys made by C_UnwrapKey)
// take handles from the same numbers, so no handle of theirs names an object of a key either.
#pragma once

#include "token/lib/softkey/key_records.h"

#include <p11-kit/pkcs11.h>

#include <compare>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillard::module {

struct ObjectRef {
    std::string serial;
    std::string container;
    int32_t spec = 1; // 1 exchange, 2 signature
    softkey::ObjectKind kind = softkey::ObjectKind::Certificate;

    auto operator<=>(const ObjectRef&) const = default;
};

class ObjectHandles {
public:
    CK_OBJECT_HANDLE handleOf(const ObjectRef& ref);
    // A handle of its own for a session object, never given again.
    CK_OBJECT_HANDLE reserve();
    // Throws ModuleError(CKR_OBJECT_HANDLE_INVALID) for a handle never given or reserved. A copy: handing
    // out handles moves what the table holds.
    ObjectRef refOf(CK_OBJECT_HANDLE handle) const;

private:
    std::map<ObjectRef, CK_OBJECT_HANDLE> handles_;
    std::vector<std::optional<ObjectRef>> refs_; // handle n is refs_[n - 1]; nullopt when reserved
};

} // namespace quillard::module
