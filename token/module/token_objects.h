// The PKCS#11 objects of one plugged key, read from its containers: for each container and key
// specification its certificate, public key and (after the user's login) private key, each labelled with the
// container's name and sharing the CKA_ID of the key pair. Private keys are sensitive and never extractable;
// exchange keys (specification 1) decrypt besides signing, signature keys (2) only sign.
#pragma once

#include "attribute_set.h"
#include "object_handles.h"
#include "token/lib/softkey/softkey_driver.h"

#include <optional>
#include <string>
#include <vector>

namespace quillard::module {

struct TokenObject {
    CK_OBJECT_HANDLE handle = CK_INVALID_HANDLE;
    ObjectRef ref;
    AttributeSet attributes;
};

class TokenObjects {
public:
    TokenObjects(SoftkeyDriver& driver, int32_t idx, const std::string& serial, ObjectHandles& handles)
        : driver_(driver), idx_(idx), serial_(serial), handles_(handles) {}

    // Every object of the key; private keys only when `withPrivate`.
    std::vector<TokenObject> all(bool withPrivate);
    // The object `ref`; throws ModuleError(CKR_OBJECT_HANDLE_INVALID) when it is gone, or when it is a
    // private key and `withPrivate` is false.
    TokenObject one(const ObjectRef& ref, bool withPrivate);

private:
    // The objects of one container and key specification.
    std::vector<TokenObject> pair(const std::string& container, int32_t spec, bool withPrivate);
    TokenObject make(const std::string& container, int32_t spec, softkey::ObjectKind kind);

    SoftkeyDriver& driver_;
    int32_t idx_;
    std::string serial_;
    ObjectHandles& handles_;
};

} // namespace quillard::module
