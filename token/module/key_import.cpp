#include "key_import.h"

#include "key_attributes.h"
#include "mechanism_table.h"
#include "module_error.h"
#include "private_key_components.h"
#include "token/lib/hex_text.h"
#include "token/lib/key_description.h"
#include "token/lib/openssl_providers.h"
#include "token/lib/quillard_errors.h"

#include <openssl/rand.h>

namespace quillard::module {

namespace {

using softkey::ObjectKind;

constexpr int32_t kExchange = 1;
constexpr int32_t kSignature = 2;

int32_t specFor(const TemplateReader& privateAttributes) {
    return privateAttributes.isTrue(CKA_DECRYPT) || privateAttributes.isTrue(CKA_UNWRAP) ||
                   privateAttributes.isTrue(CKA_DERIVE)
               ? kExchange
               : kSignature;
}

// The module keeps token objects only, and a private key never leaves the key.
void checkStorable(const TemplateReader& attributes) {
    if (!attributes.boolean(CKA_TOKEN).value_or(true))
        fail(CKR_TEMPLATE_INCONSISTENT);
    if (attributes.isTrue(CKA_EXTRACTABLE) || !attributes.boolean(CKA_SENSITIVE).value_or(true))
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
}

std::vector<uint8_t> spkiOfCertificate(const std::vector<uint8_t>& der) {
    const unsigned char* in = der.data();
    X509Ptr certificate(decodeCertificateInLibraryContext(nullptr, &in, static_cast<long>(der.size())));
    if (!certificate || in != der.data() + der.size())
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    KeyDescription key;
    if (describePublicKey(X509_get0_pubkey(certificate.get()), key) != QR_OK)
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    return key.publicKeyDer;
}

// A key's objects carry the ID of their public key (keyIdOf), which the key derives and does not store: a
// caller's other CKA_ID is refused rather than silently replaced.
void requireKeyId(const TemplateReader& attributes, const std::vector<uint8_t>& spki) {
    if (std::optional<std::vector<uint8_t>> id = attributes.bytes(CKA_ID); id && *id != keyIdOf(spki))
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
}

SecureBytes pkcs8Of(const EVP_PKEY* key) {
    SecureBytes pkcs8;
    require(encodePrivateKey(key, pkcs8));
    return pkcs8;
}

} // namespace

std::string KeyImport::containerName(const TemplateReader& attributes, const TemplateReader* second) {
    std::optional<std::string> label = attributes.text(CKA_LABEL);
    if ((!label || label->empty()) && second)
        label = second->text(CKA_LABEL);
    if (label && !label->empty())
        return *label;
    uint8_t random[4];
    if (RAND_bytes_ex(libraryContext(), random, sizeof random, 0) != 1)
        fail(CKR_GENERAL_ERROR);
    return "Key " + upperHex(random, sizeof random);
}

std::optional<KeyImport::Place> KeyImport::placeOfKey(const std::vector<uint8_t>& spki) {
    SoftkeyDriver& driver = context_.driver();
    const int32_t idx = context_.indexOf(session_);
    std::vector<std::string> names;
    require(driver.listContainers(idx, names));
    for (const std::string& name : names)
        for (int32_t spec : {kExchange, kSignature}) {
            KeyDescription key;
            if (driver.getPublicKey(idx, name, spec, key) == QR_OK && key.publicKeyDer == spki)
                return Place{name, spec};
        }
    return std::nullopt;
}

CK_OBJECT_HANDLE KeyImport::handleOf(const Place& place, ObjectKind kind) {
    return context_.handles().handleOf(ObjectRef{session_.serial, place.container, place.spec, kind});
}

CK_OBJECT_HANDLE KeyImport::certificate(const TemplateReader& attributes) {
    checkStorable(attributes);
    if (attributes.ulong(CKA_CERTIFICATE_TYPE).value_or(CKC_X_509) != CKC_X_509)
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    Credential credential;
    credential.certificateDer = attributes.requiredBytes(CKA_VALUE);
    credential.publicKey.publicKeyDer = spkiOfCertificate(credential.certificateDer);
    requireKeyId(attributes, credential.publicKey.publicKeyDer);
    SoftkeyDriver& driver = context_.driver();
    const int32_t idx = context_.indexOf(session_);
    // Beside its key pair when the key holds it; else in the labelled container, as an exchange
    // certificate for RSA and a signature certificate for EC.
    std::optional<Place> place = placeOfKey(credential.publicKey.publicKeyDer);
    if (!place) {
        KeyDescription key;
        require(describePublicKey(credential.publicKey.publicKeyDer, key));
        place = Place{containerName(attributes), key.algorithm == AlgorithmRsa ? kExchange : kSignature};
        // The import makes the container when it is new, in the same step as the certificate.
        std::vector<uint8_t> existing;
        if (driver.getCertificate(idx, place->container, place->spec, existing) == QR_OK)
            fail(CKR_ATTRIBUTE_VALUE_INVALID); // the container has a certificate of this kind already
    }
    require(driver.importCredential(idx, place->container, place->spec, credential));
    return handleOf(*place, ObjectKind::Certificate);
}

CK_OBJECT_HANDLE KeyImport::privateKey(const TemplateReader& attributes) {
    checkStorable(attributes);
    EvpPkeyPtr key = PrivateKeyComponents::read(attributes);
    KeyDescription description;
    require(describePublicKey(key.get(), description));
    requireKeyId(attributes, description.publicKeyDer);
    SoftkeyDriver& driver = context_.driver();
    const int32_t idx = context_.indexOf(session_);
    std::optional<Place> place = placeOfKey(description.publicKeyDer);
    if (place) {
        // The certificate came first: the key joins it.
        Credential credential;
        require(driver.getCertificate(idx, place->container, place->spec, credential.certificateDer));
        credential.publicKey = description;
        credential.privateKeyDer = pkcs8Of(key.get());
        require(driver.importCredential(idx, place->container, place->spec, credential));
    } else {
        place = Place{containerName(attributes), specFor(attributes)};
        KeyDescription stored;
        require(driver.storeKeyPair(idx, place->container, place->spec, pkcs8Of(key.get()), stored));
    }
    return handleOf(*place, ObjectKind::PrivateKey);
}

CK_OBJECT_HANDLE KeyImport::generate(CK_MECHANISM_TYPE mechanism, const TemplateReader& publicAttributes,
                                     const TemplateReader& privateAttributes,
                                     CK_OBJECT_HANDLE& publicHandle) {
    checkStorable(privateAttributes);
    if (!publicAttributes.boolean(CKA_TOKEN).value_or(true))
        fail(CKR_TEMPLATE_INCONSISTENT);
    // The pair's ID will be that of a public key not made yet, so no ID a caller chooses can be honoured.
    if (publicAttributes.bytes(CKA_ID) || privateAttributes.bytes(CKA_ID))
        fail(CKR_ATTRIBUTE_VALUE_INVALID);
    int32_t algorithm = AlgorithmRsa;
    int32_t bits = 0;
    if (mechanism == CKM_RSA_PKCS_KEY_PAIR_GEN) {
        std::optional<CK_ULONG> modulusBits = publicAttributes.ulong(CKA_MODULUS_BITS);
        if (!modulusBits)
            fail(CKR_TEMPLATE_INCOMPLETE);
        std::optional<std::vector<uint8_t>> exponent = publicAttributes.bytes(CKA_PUBLIC_EXPONENT);
        if (exponent && *exponent != std::vector<uint8_t>{0x01, 0x00, 0x01} &&
            *exponent != std::vector<uint8_t>{0x00, 0x01, 0x00, 0x01})
            fail(CKR_ATTRIBUTE_VALUE_INVALID); // the key makes keys with the exponent 65537 only
        if (*modulusBits != 2048 && *modulusBits != 3072)
            fail(CKR_ATTRIBUTE_VALUE_INVALID); // the sizes the key makes; C_GenerateKeyPair has no size code
        bits = static_cast<int32_t>(*modulusBits);
    } else if (mechanism == CKM_EC_KEY_PAIR_GEN) {
        std::optional<std::vector<uint8_t>> params = publicAttributes.bytes(CKA_EC_PARAMS);
        if (!params)
            fail(CKR_TEMPLATE_INCOMPLETE);
        const char* curve = KeyAttributes::curveOf(*params);
        if (!curve)
            fail(CKR_CURVE_NOT_SUPPORTED);
        algorithm = AlgorithmEcc;
        bits = std::string_view(curve) == "P-256" ? 256 : 384;
    } else {
        MechanismTable::find(mechanism, CKF_GENERATE_KEY_PAIR);
        fail(CKR_MECHANISM_INVALID);
    }
    Place place{containerName(privateAttributes, &publicAttributes), specFor(privateAttributes)};
    KeyDescription stored;
    require(context_.driver().generateKeyPair(context_.indexOf(session_), place.container, place.spec,
                                              algorithm, bits, stored));
    publicHandle = handleOf(place, ObjectKind::PublicKey);
    return handleOf(place, ObjectKind::PrivateKey);
}

} // namespace quillard::module
