// The cryptographic functions of the module: signing and decrypting with a key's private keys (which are
// unsealed only inside this process, for the one operation, and never handed out), verifying with its public
// keys, digests and random bytes. Each returns CKR_OK or a result it may return without ending the
// operation (CKR_BUFFER_TOO_SMALL); any other failure throws ModuleError and ends it.
#pragma once

#include "module_context.h"
#include "output_buffer.h"
#include "template_reader.h"
#include "token/lib/secure_bytes.h"

namespace quillard::module {

class CryptoService {
public:
    explicit CryptoService(ModuleContext& context) : context_(context) {}

    void signInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key);
    CK_RV sign(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size, const OutputBuffer& signature);
    void signUpdate(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size);
    CK_RV signFinal(CK_SESSION_HANDLE handle, const OutputBuffer& signature);

    void verifyInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key);
    CK_RV verify(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size, const CK_BYTE* signature,
                 CK_ULONG signatureSize);
    void verifyUpdate(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size);
    CK_RV verifyFinal(CK_SESSION_HANDLE handle, const CK_BYTE* signature, CK_ULONG signatureSize);

    void decryptInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key);
    CK_RV decrypt(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size, const OutputBuffer& plain);
    // Multi-part decryption collects the ciphertext and gives all the plain text at the end.
    CK_RV decryptUpdate(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size,
                        const OutputBuffer& plain);
    CK_RV decryptFinal(CK_SESSION_HANDLE handle, const OutputBuffer& plain);

    void digestInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism);
    CK_RV digest(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size, const OutputBuffer& digest);
    void digestUpdate(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size);
    CK_RV digestFinal(CK_SESSION_HANDLE handle, const OutputBuffer& digest);

    void generateRandom(CK_SESSION_HANDLE handle, CK_BYTE* data, CK_ULONG size);

    // Decrypts `wrapped` with the exchange key `key` (RSA PKCS#1 v1.5 or OAEP) into a secret key, a session
    // object of this session with the attributes of `attributes`; returns its handle.
    CK_OBJECT_HANDLE unwrapKey(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key,
                               const CK_BYTE* wrapped, CK_ULONG size, const CK_ATTRIBUTE* attributes,
                               CK_ULONG count);

    // Agrees a secret by ECDH (CKM_ECDH1_DERIVE) between the EC exchange key `key` and the point the
    // mechanism gives; the secret becomes a session object of this session with the attributes of
    // `attributes`, readable when they make it not sensitive. Returns its handle.
    CK_OBJECT_HANDLE deriveKey(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key,
                               const CK_ATTRIBUTE* attributes, CK_ULONG count);

private:
    // The private key `key` of the session's key, checked to allow `attribute` (CKA_SIGN, CKA_DECRYPT,
    // CKA_UNWRAP, CKA_DERIVE).
    EvpPkeyPtr privateKey(Session& session, CK_OBJECT_HANDLE key, CK_ATTRIBUTE_TYPE attribute);
    EvpPkeyPtr publicKey(Session& session, CK_OBJECT_HANDLE key);
    // Makes `value` a secret key, a session object of `session` with the attributes `reader` gives.
    CK_OBJECT_HANDLE keepSecretKey(Session& session, const TemplateReader& reader, SecureBytes value);
    CK_RV finishSigning(Session& session, const OutputBuffer& signature);
    CK_RV finishVerifying(Session& session, const CK_BYTE* signature, CK_ULONG signatureSize);
    CK_RV finishDecrypting(Session& session, const OutputBuffer& plain);
    CK_RV finishDigest(Session& session, const OutputBuffer& digest);

    ModuleContext& context_;
};

} // namespace quillard::module
