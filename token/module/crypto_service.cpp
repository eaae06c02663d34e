#include "crypto_service.h"

#include "ecdh_derivation.h"
#include "module_error.h"
#include "secret_key_object.h"
#include "token/lib/key_description.h"
#include "token/lib/openssl_providers.h"
#include "token/lib/quillard_errors.h"

#include <openssl/rand.h>

#include <cstring>

namespace quillard::module {

namespace {

using softkey::ObjectKind;

void checkData(const void* data, CK_ULONG size) {
    if (size && !data)
        fail(CKR_ARGUMENTS_BAD);
}

const CK_MECHANISM& checkedMechanism(const CK_MECHANISM* mechanism) {
    if (!mechanism)
        fail(CKR_ARGUMENTS_BAD);
    return *mechanism;
}

// Ends `operation` when the call leaves by a failure; keeps it when the caller is to come back.
template <typename Operation> struct EndUnlessKept {
    std::unique_ptr<Operation>& operation;
    bool keep = false;
    ~EndUnlessKept() {
        if (!keep)
            operation.reset();
    }
};

template <typename Operation> Operation& active(std::unique_ptr<Operation>& operation) {
    if (!operation)
        fail(CKR_OPERATION_NOT_INITIALIZED);
    return *operation;
}

template <typename Operation> void requireIdle(const std::unique_ptr<Operation>& operation) {
    if (operation)
        fail(CKR_OPERATION_ACTIVE);
}

constexpr int32_t kExchange = 1;

// The key objects of a key are found by their handle; a handle of another kind is no key for the call.
ObjectRef keyRef(ModuleContext& context, const Session& session, CK_OBJECT_HANDLE key, ObjectKind kind) {
    ObjectRef ref;
    try {
        ref = context.handles().refOf(key);
    } catch (const ModuleError&) {
        fail(CKR_KEY_HANDLE_INVALID);
    }
    if (ref.kind != kind || ref.serial != session.serial)
        fail(CKR_KEY_HANDLE_INVALID);
    return ref;
}

TokenObject keyObject(ModuleContext& context, Session& session, CK_OBJECT_HANDLE key, ObjectKind kind) {
    const ObjectRef ref = keyRef(context, session, key, kind);
    try {
        return context.objectsOf(session).one(ref, true);
    } catch (const ModuleError& error) {
        fail(error.rv == CKR_OBJECT_HANDLE_INVALID ? CKR_KEY_HANDLE_INVALID : error.rv);
    }
}

bool isRsaKey(const TokenObject& key) {
    const std::vector<uint8_t>* type = key.attributes.find(CKA_KEY_TYPE);
    CK_KEY_TYPE rsa = CKK_RSA;
    return type && type->size() == sizeof rsa && std::memcmp(type->data(), &rsa, sizeof rsa) == 0;
}

} // namespace

EvpPkeyPtr CryptoService::privateKey(Session& session, CK_OBJECT_HANDLE key, CK_ATTRIBUTE_TYPE attribute) {
    if (!context_.userLoggedIn(session.serial))
        fail(CKR_USER_NOT_LOGGED_IN);
    const ObjectRef ref = keyRef(context_, session, key, ObjectKind::PrivateKey);
    // Every private key signs; only exchange keys decrypt and unwrap (and only RSA keys, which the operation
    // checks). Nothing else of the object is needed, so signing does not read its certificate and public key.
    if (attribute != CKA_SIGN && ref.spec != kExchange)
        fail(CKR_KEY_FUNCTION_NOT_PERMITTED);
    EvpPkeyPtr opened;
    Result result = context_.driver().usePrivateKey(context_.indexOf(session), ref.container, ref.spec,
                                                    [&](EVP_PKEY* kept) {
                                                        if (EVP_PKEY_up_ref(kept) != 1)
                                                            return QR_GENERAL_ERROR;
                                                        opened.reset(kept);
                                                        return QR_OK;
                                                    });
    if (result == QR_OBJECT_HANDLE_INVALID || result == QR_CONTAINER_NOT_FOUND)
        fail(CKR_KEY_HANDLE_INVALID); // deleted since the handle was given
    require(result);
    return opened;
}

EvpPkeyPtr CryptoService::publicKey(Session& session, CK_OBJECT_HANDLE key) {
    TokenObject object = keyObject(context_, session, key, ObjectKind::PublicKey);
    const std::vector<uint8_t>* spki = object.attributes.find(CKA_PUBLIC_KEY_INFO);
    EvpPkeyPtr opened = spki ? decodePublicKey(*spki) : nullptr;
    if (!opened)
        fail(CKR_KEY_HANDLE_INVALID);
    return opened;
}

void CryptoService::signInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism, CK_OBJECT_HANDLE key) {
    Session& session = context_.session(handle);
    const CK_MECHANISM& chosen = checkedMechanism(mechanism);
    requireIdle(session.signing);
    const Mechanism& found = MechanismTable::find(chosen.mechanism, CKF_SIGN);
    session.signing = std::make_unique<SignatureOperation>(found, chosen, privateKey(session, key, CKA_SIGN),
                                                           session.keptSigning);
}

CK_RV CryptoService::sign(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size,
                          const OutputBuffer& signature) {
    Session& session = context_.session(handle);
    SignatureOperation& operation = active(session.signing);
    checkData(data, size);
    if (signature.onlyMeasures(operation.signatureLength()))
        return signature.measure(operation.signatureLength());
    operation.update(data, size);
    return finishSigning(session, signature);
}

void CryptoService::signUpdate(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size) {
    Session& session = context_.session(handle);
    EndUnlessKept<SignatureOperation> end{session.signing};
    checkData(data, size);
    active(session.signing).update(data, size);
    end.keep = true;
}

CK_RV CryptoService::signFinal(CK_SESSION_HANDLE handle, const OutputBuffer& signature) {
    Session& session = context_.session(handle);
    SignatureOperation& operation = active(session.signing);
    if (signature.onlyMeasures(operation.signatureLength()))
        return signature.measure(operation.signatureLength());
    return finishSigning(session, signature);
}

CK_RV CryptoService::finishSigning(Session& session, const OutputBuffer& signature) {
    EndUnlessKept<SignatureOperation> end{session.signing};
    signature.fill(session.signing->sign());
    session.signing->keepSigningContext(session.keptSigning);
    return CKR_OK;
}

void CryptoService::verifyInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism,
                               CK_OBJECT_HANDLE key) {
    Session& session = context_.session(handle);
    const CK_MECHANISM& chosen = checkedMechanism(mechanism);
    requireIdle(session.verifying);
    const Mechanism& found = MechanismTable::find(chosen.mechanism, CKF_VERIFY);
    session.verifying = std::make_unique<SignatureOperation>(found, chosen, publicKey(session, key));
}

CK_RV CryptoService::verify(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size,
                            const CK_BYTE* signature, CK_ULONG signatureSize) {
    Session& session = context_.session(handle);
    EndUnlessKept<SignatureOperation> end{session.verifying};
    checkData(data, size);
    active(session.verifying).update(data, size);
    return finishVerifying(session, signature, signatureSize);
}

void CryptoService::verifyUpdate(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size) {
    Session& session = context_.session(handle);
    EndUnlessKept<SignatureOperation> end{session.verifying};
    checkData(data, size);
    active(session.verifying).update(data, size);
    end.keep = true;
}

CK_RV CryptoService::verifyFinal(CK_SESSION_HANDLE handle, const CK_BYTE* signature, CK_ULONG signatureSize) {
    Session& session = context_.session(handle);
    EndUnlessKept<SignatureOperation> end{session.verifying};
    active(session.verifying);
    return finishVerifying(session, signature, signatureSize);
}

CK_RV CryptoService::finishVerifying(Session& session, const CK_BYTE* signature, CK_ULONG signatureSize) {
    checkData(signature, signatureSize);
    return session.verifying->verify(signature, signatureSize) ? CKR_OK : CKR_SIGNATURE_INVALID;
}

void CryptoService::decryptInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism,
                                CK_OBJECT_HANDLE key) {
    Session& session = context_.session(handle);
    const CK_MECHANISM& chosen = checkedMechanism(mechanism);
    requireIdle(session.decrypting);
    const Mechanism& found = MechanismTable::find(chosen.mechanism, CKF_DECRYPT);
    session.decrypting =
        std::make_unique<DecryptOperation>(found, chosen, privateKey(session, key, CKA_DECRYPT));
}

CK_RV CryptoService::decrypt(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size,
                             const OutputBuffer& plain) {
    Session& session = context_.session(handle);
    DecryptOperation& operation = active(session.decrypting);
    checkData(data, size);
    // Without a buffer the longest plain text is the answer; the exact length needs the decryption.
    if (plain.onlyMeasures(0))
        return plain.measure(operation.maxPlainLength());
    {
        EndUnlessKept<DecryptOperation> end{session.decrypting};
        operation.update(data, size);
        end.keep = true;
    }
    return finishDecrypting(session, plain);
}

CK_RV CryptoService::decryptUpdate(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size,
                                   const OutputBuffer& plain) {
    Session& session = context_.session(handle);
    EndUnlessKept<DecryptOperation> end{session.decrypting};
    checkData(data, size);
    active(session.decrypting).update(data, size);
    plain.fill(std::vector<uint8_t>{});
    end.keep = true;
    return CKR_OK;
}

CK_RV CryptoService::decryptFinal(CK_SESSION_HANDLE handle, const OutputBuffer& plain) {
    Session& session = context_.session(handle);
    DecryptOperation& operation = active(session.decrypting);
    if (plain.onlyMeasures(0))
        return plain.measure(operation.maxPlainLength());
    return finishDecrypting(session, plain);
}

CK_RV CryptoService::finishDecrypting(Session& session, const OutputBuffer& plain) {
    EndUnlessKept<DecryptOperation> end{session.decrypting};
    SecureBytes text = session.decrypting->decrypt();
    if (plain.onlyMeasures(text.size())) {
        end.keep = true;
        return plain.measure(text.size());
    }
    plain.fill(text);
    return CKR_OK;
}

void CryptoService::digestInit(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism) {
    Session& session = context_.session(handle);
    const CK_MECHANISM& chosen = checkedMechanism(mechanism);
    requireIdle(session.digesting);
    session.digesting = std::make_unique<DigestOperation>(MechanismTable::find(chosen.mechanism, CKF_DIGEST));
}

CK_RV CryptoService::digest(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size,
                            const OutputBuffer& digest) {
    Session& session = context_.session(handle);
    DigestOperation& operation = active(session.digesting);
    checkData(data, size);
    if (digest.onlyMeasures(operation.length()))
        return digest.measure(operation.length());
    operation.update(data, size);
    return finishDigest(session, digest);
}

void CryptoService::digestUpdate(CK_SESSION_HANDLE handle, const CK_BYTE* data, CK_ULONG size) {
    Session& session = context_.session(handle);
    EndUnlessKept<DigestOperation> end{session.digesting};
    checkData(data, size);
    active(session.digesting).update(data, size);
    end.keep = true;
}

CK_RV CryptoService::digestFinal(CK_SESSION_HANDLE handle, const OutputBuffer& digest) {
    Session& session = context_.session(handle);
    active(session.digesting);
    return finishDigest(session, digest);
}

CK_RV CryptoService::finishDigest(Session& session, const OutputBuffer& digest) {
    DigestOperation& operation = *session.digesting;
    if (digest.onlyMeasures(operation.length()))
        return digest.measure(operation.length());
    EndUnlessKept<DigestOperation> end{session.digesting};
    digest.fill(operation.finish());
    return CKR_OK;
}

CK_OBJECT_HANDLE CryptoService::unwrapKey(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism,
                                          CK_OBJECT_HANDLE key, const CK_BYTE* wrapped, CK_ULONG size,
                                          const CK_ATTRIBUTE* attributes, CK_ULONG count) {
    Session& session = context_.session(handle);
    const CK_MECHANISM& chosen = checkedMechanism(mechanism);
    if (!wrapped || size == 0)
        fail(CKR_ARGUMENTS_BAD);
    TemplateReader reader(attributes, count);
    const Mechanism& found = MechanismTable::find(chosen.mechanism, CKF_UNWRAP);
    if (!isRsaKey(keyObject(context_, session, key, ObjectKind::PrivateKey)))
        fail(CKR_UNWRAPPING_KEY_TYPE_INCONSISTENT); // only RSA keys unwrap
    DecryptOperation operation(found, chosen, privateKey(session, key, CKA_UNWRAP));
    operation.update(wrapped, size);
    SecureBytes value;
    try {
        value = operation.decrypt();
    } catch (const ModuleError& error) {
        if (error.rv == CKR_ENCRYPTED_DATA_LEN_RANGE)
            fail(CKR_WRAPPED_KEY_LEN_RANGE);
        if (error.rv == CKR_ENCRYPTED_DATA_INVALID)
            fail(CKR_WRAPPED_KEY_INVALID);
        throw;
    }
    return keepSecretKey(session, reader, std::move(value));
}

CK_OBJECT_HANDLE CryptoService::deriveKey(CK_SESSION_HANDLE handle, const CK_MECHANISM* mechanism,
                                          CK_OBJECT_HANDLE key, const CK_ATTRIBUTE* attributes,
                                          CK_ULONG count) {
    Session& session = context_.session(handle);
    const CK_MECHANISM& chosen = checkedMechanism(mechanism);
    TemplateReader reader(attributes, count);
    MechanismTable::find(chosen.mechanism, CKF_DERIVE);
    if (isRsaKey(keyObject(context_, session, key, ObjectKind::PrivateKey)))
        fail(CKR_KEY_TYPE_INCONSISTENT); // only EC keys agree secrets
    const EvpPkeyPtr own = privateKey(session, key, CKA_DERIVE);
    return keepSecretKey(session, reader, EcdhDerivation::sharedSecret(own.get(), chosen));
}

CK_OBJECT_HANDLE CryptoService::keepSecretKey(Session& session, const TemplateReader& reader,
                                              SecureBytes value) {
    AttributeSet secretKey = SecretKeyObject::make(reader, std::move(value));
    const CK_OBJECT_HANDLE made = context_.handles().reserve();
    session.objects.emplace(made, std::move(secretKey));
    return made;
}

void CryptoService::generateRandom(CK_SESSION_HANDLE handle, CK_BYTE* data, CK_ULONG size) {
    context_.session(handle);
    checkData(data, size);
    if (size && RAND_bytes_ex(libraryContext(), data, size, 0) != 1)
        fail(CKR_FUNCTION_FAILED);
}

} // namespace quillard::module
