// The exported C functions of enrolment: key pairs made on the key, signatures, requests, self-signed
// certificates and installing the certificate a CA issued.
#include "quillard.h"

#include "certificate_placement.h"
#include "export_support.h"
#include "key_signed_documents.h"
#include "openssl_handles.h"
#include "openssl_providers.h"

#include <openssl/evp.h>

#include <climits>
#include <cstring>

using namespace quillard;

namespace {

using MessageDigestPtr = OpenSslPtr<EVP_MD, EVP_MD_free>;

DigestSigner signerFor(Driver& driver, int32_t idx, const std::string& name, int32_t spec) {
    return [&driver, idx, name, spec](const std::string& digest, const std::vector<uint8_t>& hash,
                                      std::vector<uint8_t>& signature) {
        return driver.signDigest(idx, name, spec, digest, hash, signature);
    };
}

bool validRequest(const TCertRequest* request) {
    return request && request->subject && request->alt_names;
}

DocumentSettings settingsOf(const TCertRequest& request) {
    return DocumentSettings{request.subject, request.alt_names, request.usage, request.days};
}

using DocumentBuilder = Result (*)(const KeyDescription&, const DocumentSettings&, const DigestSigner&,
                                   std::vector<uint8_t>&);

int32_t buildDocument(DocumentBuilder build, int32_t idx, const char* name, int32_t spec,
                      const TCertRequest* request, uint8_t* der, int32_t* length) {
    if (!name || !validRequest(request) || !der || !length || *length < 0 || !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        KeyDescription key;
        if (Result result = driver.getPublicKey(idx, name, spec, key); result != QR_OK)
            return result;
        std::vector<uint8_t> document;
        if (Result result = build(key, settingsOf(*request), signerFor(driver, idx, name, spec), document);
            result != QR_OK)
            return result;
        return copyOut(document, der, length);
    });
}

// The digest of `data` a key of `key`'s kind signs with.
bool digestOf(const KeyDescription& key, const uint8_t* data, int32_t length, std::string& digest,
              std::vector<uint8_t>& hash) {
    digest = documentDigestFor(key);
    MessageDigestPtr md(EVP_MD_fetch(libraryContext(), digest.c_str(), nullptr));
    unsigned int size = 0;
    hash.resize(EVP_MAX_MD_SIZE);
    if (!md || EVP_Digest(data, static_cast<std::size_t>(length), hash.data(), &size, md.get(), nullptr) != 1)
        return false;
    hash.resize(size);
    return true;
}

} // namespace

int32_t token_get_keygen_algorithms(int32_t idx, int32_t* algorithms, int32_t* bits, int32_t* count) {
    if (!algorithms || !bits || !count || *count < 0)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        std::vector<GeneratedKeyKind> kinds;
        Result result = driver.generatedKeyKinds(idx, kinds);
        if (result == QR_FUNCTION_NOT_SUPPORTED)
            kinds.clear(); // a driver that cannot generate offers no kind
        else if (result != QR_OK)
            return result;
        if (kinds.size() > static_cast<std::size_t>(*count)) {
            *count = static_cast<int32_t>(kinds.size());
            return QR_BUFFER_TOO_SMALL;
        }
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            algorithms[i] = kinds[i].algorithm;
            bits[i] = kinds[i].bits;
        }
        *count = static_cast<int32_t>(kinds.size());
        return QR_OK;
    });
}

int32_t container_generate_keypair(int32_t idx, const char* name, int32_t spec, int32_t algorithm,
                                   int32_t bits) {
    if (!name || !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        KeyDescription generated;
        return driver.generateKeyPair(idx, name, spec, algorithm, bits, generated);
    });
}

int32_t container_sign_data(int32_t idx, const char* name, int32_t spec, const uint8_t* data,
                            int32_t data_length, uint8_t* signature, int32_t* length) {
    if (!name || (!data && data_length != 0) || data_length < 0 || !signature || !length || *length < 0 ||
        !validSpec(spec))
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        KeyDescription key;
        if (Result result = driver.getPublicKey(idx, name, spec, key); result != QR_OK)
            return result;
        std::string digest;
        std::vector<uint8_t> hash;
        if (!digestOf(key, data, data_length, digest, hash))
            return QR_GENERAL_ERROR;
        std::vector<uint8_t> made;
        if (Result result = driver.signDigest(idx, name, spec, digest, hash, made); result != QR_OK)
            return result;
        return copyOut(made, signature, length);
    });
}

int32_t container_build_request(int32_t idx, const char* name, int32_t spec, const TCertRequest* request,
                                uint8_t* der, int32_t* length) {
    return buildDocument(buildRequest, idx, name, spec, request, der, length);
}

int32_t container_build_self_signed(int32_t idx, const char* name, int32_t spec, const TCertRequest* request,
                                    uint8_t* der, int32_t* length) {
    return buildDocument(buildSelfSigned, idx, name, spec, request, der, length);
}

int32_t container_install_cert(int32_t idx, const uint8_t* cert, int32_t length, char* container,
                               int32_t container_length, int32_t* spec) {
    if (!cert || length <= 0 || !container || container_length < 256 || !spec)
        return QR_ARGUMENTS_BAD;
    return withDriver([&](Driver& driver) -> int32_t {
        KeyPairPlace place;
        Result result = installCertificate(driver, idx, std::vector<uint8_t>(cert, cert + length), place);
        if (result != QR_OK)
            return result;
        copyText(container, static_cast<std::size_t>(container_length), place.container);
        *spec = place.spec;
        return QR_OK;
    });
}
