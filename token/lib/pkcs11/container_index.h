// The containers of a PKCS#11 token, read from its objects: a container is the set of objects sharing a
// CKA_LABEL (its name); within it a key pair and its certificate share a CKA_ID. A pair is the exchange pair
// (1) when its private key may decrypt or unwrap (its public key encrypt or wrap, when the private key is not
// visible) and the signature pair (2) otherwise; a certificate alone takes the exchange place when it is
// free. An empty container is a CKO_DATA object with its label. Objects without a label belong to no
// container.
#pragma once

#include "cryptoki.h"
#include "pkcs11_call.h"
#include "token/lib/credential.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillard::pkcs11 {

struct KeyPairObjects {
    std::vector<uint8_t> id;
    std::optional<CK_OBJECT_HANDLE> certificate;
    std::optional<CK_OBJECT_HANDLE> publicKey;
    std::optional<CK_OBJECT_HANDLE> privateKey;
    // What reads found, kept with the index (which every change drops).
    mutable std::optional<std::vector<uint8_t>> certificateDer;
    mutable std::optional<KeyDescription> publicKeyDescription;
    mutable std::optional<KeyDescription> privateKeyDescription;
};

struct ContainerObjects {
    std::string name;
    std::vector<CK_OBJECT_HANDLE> all;      // every object with the container's label
    std::optional<KeyPairObjects> pairs[2]; // [0] exchange, [1] signature
};

class ContainerIndex {
public:
    // Reads every token object `session` sees.
    static ContainerIndex read(const Pkcs11Call& call, CK_SESSION_HANDLE session);

    // The containers sorted by name.
    const std::vector<ContainerObjects>& containers() const { return containers_; }
    // The container `name`, or null.
    const ContainerObjects* find(const std::string& name) const;
    // The objects of pair `spec` (1 or 2) of container `name`, or null when the container has none.
    const KeyPairObjects* pair(const std::string& name, int32_t spec) const;

private:
    std::vector<ContainerObjects> containers_;
};

} // namespace quillard::pkcs11
