// Keys and certificates as PKCS#11 objects, both ways: the templates of what an import writes (the private
// key sensitive and not extractable, CKA_ID the SHA-1 of the public key) and the key descriptions read back
// from objects, whoever wrote them.
#pragma once

#include "attribute_set.h"
#include "pkcs11_call.h"
#include "token/lib/credential.h"
#include "token/lib/driver.h"

#include <string>
#include <vector>

namespace quillard::pkcs11 {

// Templates of the objects of one key pair in container `label` under `id`; `exchange` marks the pair's keys
// for decryption and unwrapping as well as signing. They throw std::invalid_argument for bytes that do not
// parse and for a key that is neither RSA nor EC.
AttributeSet certificateTemplate(const std::string& label, const std::vector<uint8_t>& id,
                                 const std::vector<uint8_t>& certificateDer);
AttributeSet publicKeyTemplate(const std::string& label, const std::vector<uint8_t>& id,
                               const std::vector<uint8_t>& spkiDer, bool exchange);
AttributeSet privateKeyTemplate(const std::string& label, const std::vector<uint8_t>& id,
                                const SecureBytes& pkcs8Der, bool exchange);
// The CKO_DATA object that keeps an empty container.
AttributeSet containerMarkTemplate(const std::string& label);

// The whole value of attribute `type` of an object.
std::vector<uint8_t> readAttribute(const Pkcs11Call& call, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                   CK_ATTRIBUTE_TYPE type);
// Algorithm, size and SubjectPublicKeyInfo of a public key object (RSA modulus and exponent, or EC
// parameters and point).
KeyDescription describePublicKeyObject(const Pkcs11Call& call, CK_SESSION_HANDLE session,
                                       CK_OBJECT_HANDLE object);
// Algorithm and size of a private key object, from its public parts (no secret is read).
KeyDescription describePrivateKeyObject(const Pkcs11Call& call, CK_SESSION_HANDLE session,
                                        CK_OBJECT_HANDLE object);

} // namespace quillard::pkcs11
