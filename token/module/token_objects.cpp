#include "token_objects.h"

#include "key_attributes.h"
#include "module_error.h"
#include "token/lib/key_description.h"
#include "token/lib/quillard_errors.h"

namespace quillard::module {

namespace {

using softkey::ObjectKind;

constexpr int32_t kExchange = 1;

// Runs a driver read that may find nothing: false for a missing object (also when its container has been
// deleted meanwhile, by this process or another), throws for any other failure.
bool present(Result result) {
    if (result == QR_OBJECT_HANDLE_INVALID || result == QR_CONTAINER_NOT_FOUND)
        return false;
    require(result);
    return true;
}

void addCommon(AttributeSet& attributes, CK_OBJECT_CLASS objectClass, bool isPrivate,
               const std::string& label, const std::vector<uint8_t>& id) {
    attributes.setUlong(CKA_CLASS, objectClass);
    attributes.setBool(CKA_TOKEN, true);
    attributes.setBool(CKA_PRIVATE, isPrivate);
    attributes.setBool(CKA_MODIFIABLE, false);
    attributes.setBool(CKA_COPYABLE, false);
    attributes.setBool(CKA_DESTROYABLE, true);
    attributes.setText(CKA_LABEL, label);
    attributes.set(CKA_ID, id);
}

void addKeyCommon(AttributeSet& attributes, const std::vector<uint8_t>& subject) {
    attributes.set(CKA_SUBJECT, subject);
    attributes.setBool(CKA_LOCAL, false);
    attributes.setUlong(CKA_KEY_GEN_MECHANISM, CK_UNAVAILABLE_INFORMATION);
    attributes.set(CKA_START_DATE, {});
    attributes.set(CKA_END_DATE, {});
    attributes.setBool(CKA_DERIVE, false);
}

void addCertificate(AttributeSet& attributes, const std::vector<uint8_t>& der) {
    attributes.setUlong(CKA_CERTIFICATE_TYPE, CKC_X_509);
    attributes.set(CKA_VALUE, der);
    attributes.setBool(CKA_TRUSTED, false);
    attributes.setUlong(CKA_CERTIFICATE_CATEGORY, 0);
    KeyAttributes::addCertificateNames(attributes, der);
}

void addPublicKey(AttributeSet& attributes, bool exchange) {
    const bool rsa = attributes.find(CKA_MODULUS) != nullptr;
    attributes.setBool(CKA_VERIFY, true);
    attributes.setBool(CKA_VERIFY_RECOVER, false);
    attributes.setBool(CKA_ENCRYPT, exchange && rsa);
    attributes.setBool(CKA_WRAP, false);
    attributes.setBool(CKA_TRUSTED, false);
}

void addPrivateKey(AttributeSet& attributes, bool exchange) {
    const bool rsa = attributes.find(CKA_MODULUS) != nullptr;
    attributes.setBool(CKA_SENSITIVE, true);
    attributes.setBool(CKA_EXTRACTABLE, false);
    // Keys imported from files were outside the key before; the key cannot tell which ones were.
    attributes.setBool(CKA_ALWAYS_SENSITIVE, false);
    attributes.setBool(CKA_NEVER_EXTRACTABLE, false);
    attributes.setBool(CKA_SIGN, true);
    attributes.setBool(CKA_SIGN_RECOVER, false);
    attributes.setBool(CKA_DECRYPT, exchange && rsa);
    attributes.setBool(CKA_UNWRAP, exchange && rsa);
    attributes.setBool(CKA_DERIVE, exchange && !rsa); // an EC exchange key agrees secrets (ECDH)
    attributes.setBool(CKA_ALWAYS_AUTHENTICATE, false);
    attributes.setBool(CKA_WRAP_WITH_TRUSTED, false);
    const CK_ATTRIBUTE_TYPE rsaSecrets[] = {CKA_PRIVATE_EXPONENT, CKA_PRIME_1,    CKA_PRIME_2,
                                            CKA_EXPONENT_1,       CKA_EXPONENT_2, CKA_COEFFICIENT};
    if (rsa)
        for (CK_ATTRIBUTE_TYPE type : rsaSecrets)
            attributes.setSensitive(type);
    else
        attributes.setSensitive(CKA_VALUE);
}

} // namespace

std::vector<TokenObject> TokenObjects::all(bool withPrivate) {
    std::vector<std::string> names;
    require(driver_.listContainers(idx_, names));
    std::vector<TokenObject> objects;
    for (const std::string& name : names)
        for (int32_t spec : {1, 2})
            for (TokenObject& object : pair(name, spec, withPrivate))
                objects.push_back(std::move(object));
    return objects;
}

TokenObject TokenObjects::one(const ObjectRef& ref, bool withPrivate) {
    if (ref.serial == serial_ && (withPrivate || ref.kind != ObjectKind::PrivateKey))
        for (TokenObject& object : pair(ref.container, ref.spec, withPrivate))
            if (object.ref == ref)
                return std::move(object);
    fail(CKR_OBJECT_HANDLE_INVALID);
}

std::vector<TokenObject> TokenObjects::pair(const std::string& container, int32_t spec, bool withPrivate) {
    std::vector<uint8_t> certificate;
    KeyDescription publicKey;
    KeyDescription privateKey;
    const bool hasCertificate = present(driver_.getCertificate(idx_, container, spec, certificate));
    const bool hasPublicKey = present(driver_.getPublicKey(idx_, container, spec, publicKey));
    const bool hasPrivateKey =
        withPrivate && hasPublicKey && present(driver_.getPrivateKey(idx_, container, spec, privateKey));
    std::vector<uint8_t> id = hasPublicKey ? keyIdOf(publicKey.publicKeyDer) : std::vector<uint8_t>{};
    const bool exchange = spec == kExchange;

    std::vector<TokenObject> objects;
    std::vector<uint8_t> subject;
    if (hasCertificate) {
        TokenObject object = make(container, spec, ObjectKind::Certificate);
        addCommon(object.attributes, CKO_CERTIFICATE, false, container, id);
        addCertificate(object.attributes, certificate);
        objects.push_back(std::move(object));
        if (const std::vector<uint8_t>* name = objects.back().attributes.find(CKA_SUBJECT))
            subject = *name;
    }
    if (hasPublicKey) {
        TokenObject object = make(container, spec, ObjectKind::PublicKey);
        addCommon(object.attributes, CKO_PUBLIC_KEY, false, container, id);
        KeyAttributes::addPublicParts(object.attributes, publicKey.publicKeyDer);
        addKeyCommon(object.attributes, subject);
        addPublicKey(object.attributes, exchange);
        objects.push_back(std::move(object));
    }
    if (hasPrivateKey) {
        TokenObject object = make(container, spec, ObjectKind::PrivateKey);
        addCommon(object.attributes, CKO_PRIVATE_KEY, true, container, id);
        KeyAttributes::addPublicParts(object.attributes, publicKey.publicKeyDer);
        addKeyCommon(object.attributes, subject);
        addPrivateKey(object.attributes, exchange);
        objects.push_back(std::move(object));
    }
    return objects;
}

TokenObject TokenObjects::make(const std::string& container, int32_t spec, ObjectKind kind) {
    TokenObject object;
    object.ref = ObjectRef{serial_, container, spec, kind};
    object.handle = handles_.handleOf(object.ref);
    return object;
}

} // namespace quillard::module
