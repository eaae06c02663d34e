#include "demo_credentials.h"

#include "token/lib/der_coding.h"
#include "token/lib/hex_text.h"
#include "token/lib/key_description.h"
#include "token/lib/openssl_handles.h"
#include "token/lib/openssl_providers.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <random>
#include <stdexcept>

namespace quillard::demo {

namespace {

constexpr const char* DemoOrganisation = "PellorZu Demo";
constexpr int SerialBytes = 16;
constexpr int Pkcs12Iterations = 2048;

std::string openSslReason() {
    char reason[256] = {};
    ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
    ERR_clear_error();
    return reason;
}

bool fail(std::string* error, const std::string& message) {
    if (error)
        *error = message;
    ERR_clear_error();
    return false;
}

void require(bool condition, const char* what) {
    if (!condition)
        throw std::runtime_error(std::string(what) + ": " + openSslReason());
}

EvpPkeyPtr generateKey(KeyType type) {
    EVP_PKEY* key = type == KeyType::Rsa2048
                        ? EVP_PKEY_Q_keygen(libraryContext(), nullptr, "RSA", std::size_t{2048})
                        : EVP_PKEY_Q_keygen(libraryContext(), nullptr, "EC", "P-256");
    require(key != nullptr, "cannot generate a key pair");
    return EvpPkeyPtr(key);
}

// A positive 128-bit serial number with its top byte non-zero, so it always takes 16 bytes.
void setRandomSerial(X509* certificate) {
    unsigned char bytes[SerialBytes];
    require(RAND_bytes_ex(libraryContext(), bytes, sizeof bytes, 0) == 1, "cannot draw a serial number");
    bytes[0] = static_cast<unsigned char>((bytes[0] & 0x7F) | 0x40);
    OpenSslPtr<BIGNUM, BN_free> serial(BN_bin2bn(bytes, sizeof bytes, nullptr));
    require(serial && BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)),
            "cannot set the serial");
}

void setSubject(X509* certificate, const std::string& commonName) {
    X509_NAME* name = X509_get_subject_name(certificate);
    auto add = [&](const char* field, const std::string& value) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(value.c_str());
        require(X509_NAME_add_entry_by_txt(name, field, MBSTRING_UTF8, bytes, -1, -1, 0) == 1,
                "cannot set the name");
    };
    add("CN", commonName);
    add("O", DemoOrganisation);
}

void addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    OpenSslPtr<X509_EXTENSION, X509_EXTENSION_free> extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    require(extension && X509_add_ext(certificate, extension.get(), -1) == 1, "cannot add an extension");
}

// The subject key identifier OpenSSL's "hash" would give (SHA-1 of the public key's bits), computed in the
// library's own context: "hash" digests in the default context, which a program may have left without
// algorithms.
std::string subjectKeyIdentifier(EVP_PKEY* key) {
    KeyDescription description;
    require(describePublicKey(key, description) == 0, "cannot encode the public key");
    const std::vector<uint8_t> id = keyIdOf(description.publicKeyDer);
    require(!id.empty(), "cannot compute the key identifier");
    return colonHex(id.data(), id.size());
}

// Who signs a certificate: the issuer's name and private key, or none for a certificate signed by itself.
struct Signer {
    X509* certificate = nullptr;
    EVP_PKEY* key = nullptr;
};

void setValidity(X509* certificate, Validity validity) {
    require(X509_gmtime_adj(X509_getm_notBefore(certificate), validity.fromSeconds) &&
                X509_gmtime_adj(X509_getm_notAfter(certificate), validity.untilSeconds),
            "cannot set the validity");
}

void addUsage(X509* certificate, KeyType type, bool authority) {
    addExtension(certificate, NID_basic_constraints, authority ? "critical,CA:TRUE" : "critical,CA:FALSE");
    if (authority)
        addExtension(certificate, NID_key_usage, "critical,keyCertSign,cRLSign,digitalSignature");
    else
        addExtension(certificate, NID_key_usage,
                     type == KeyType::Rsa2048 ? "critical,digitalSignature,keyEncipherment"
                                              : "critical,digitalSignature,keyAgreement");
}

X509Ptr makeCertificate(EVP_PKEY* key, KeyType type, const std::string& commonName, Validity validity,
                        Signer signer, bool authority) {
    X509Ptr certificate(X509_new_ex(libraryContext(), nullptr));
    require(certificate && X509_set_version(certificate.get(), X509_VERSION_3) == 1,
            "cannot create a certificate");
    setRandomSerial(certificate.get());
    setSubject(certificate.get(), commonName);
    X509* issuer = signer.certificate ? signer.certificate : certificate.get();
    require(X509_set_issuer_name(certificate.get(), X509_get_subject_name(issuer)) == 1,
            "cannot set the issuer");
    setValidity(certificate.get(), validity);
    require(X509_set_pubkey(certificate.get(), key) == 1, "cannot set the public key");
    addUsage(certificate.get(), type, authority);
    addExtension(certificate.get(), NID_subject_key_identifier, subjectKeyIdentifier(key).c_str());
    require(X509_sign(certificate.get(), signer.key ? signer.key : key, EVP_sha256()) > 0,
            "cannot sign the certificate");
    return certificate;
}

std::vector<uint8_t> certificateDer(X509* certificate) {
    std::vector<uint8_t> der;
    require(encodeDer(i2d_X509, certificate, der), "cannot encode the certificate");
    return der;
}

X509Ptr decodeCertificate(const std::vector<uint8_t>& der) {
    return decodeWholeDer<X509Ptr>(decodeCertificateInLibraryContext, der.data(), der.size());
}

// The bytes held by a memory BIO.
std::vector<uint8_t> bioBytes(BIO* bio) {
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::vector<uint8_t>(data, data + length) : std::vector<uint8_t>();
}

// Writes beside the target under a temporary name, then renames, so the target is either old or complete.
bool writeFileAtomically(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                         std::string* error) {
    std::filesystem::path temporary = path;
    temporary += ".tmp-" + std::to_string(std::random_device{}());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return fail(error, "cannot write " + temporary.string());
        }
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return fail(error, "cannot rename " + temporary.string() + " to " + path.string());
    }
    return true;
}

struct Pkcs12Protection {
    int keyCipher;
    int certificateCipher;
    const EVP_MD* macDigest;
};

Pkcs12Protection protectionFor(bool legacy) {
    if (legacy)
        return {NID_pbe_WithSHA1And3_Key_TripleDES_CBC, NID_pbe_WithSHA1And40BitRC2_CBC, EVP_sha1()};
    return {NID_aes_256_cbc, NID_aes_256_cbc, EVP_sha256()};
}

} // namespace

// Failures here mean OpenSSL itself is broken, so they throw instead of returning a half-made credential.
Credential makeSelfSignedCredential(KeyType type, const std::string& commonName, int days) {
    return makeCredential(type, commonName, Validity{0, static_cast<long>(days) * 86400});
}

Credential makeCredential(KeyType type, const std::string& commonName, Validity validity,
                          const Credential* issuer, bool authority) {
    EvpPkeyPtr key = generateKey(type);
    X509Ptr issuerCertificate;
    EvpPkeyPtr issuerKey;
    if (issuer) {
        issuerCertificate = decodeCertificate(issuer->certificateDer);
        issuerKey = decodePrivateKey(issuer->privateKeyDer);
        require(issuerCertificate && issuerKey, "the issuer needs a certificate and a private key");
    }
    X509Ptr certificate = makeCertificate(key.get(), type, commonName, validity,
                                          Signer{issuerCertificate.get(), issuerKey.get()}, authority);
    Credential credential;
    credential.certificateDer = certificateDer(certificate.get());
    require(describePublicKey(key.get(), credential.publicKey) == 0, "cannot describe the public key");
    require(encodePrivateKey(key.get(), credential.privateKeyDer) == 0, "cannot encode the private key");
    return credential;
}

bool writePkcs12File(const std::filesystem::path& path, const Credential& credential,
                     const std::string& password, bool legacy, std::string* error) {
    const ProviderStatus& providers = ensureOpenSslProviders();
    if (legacy && !providers.legacyLoaded)
        return fail(error, providers.message);
    X509Ptr certificate = decodeCertificate(credential.certificateDer);
    EvpPkeyPtr key = decodePrivateKey(credential.privateKeyDer);
    if (!certificate || !key)
        return fail(error, "the credential needs a certificate and a private key");
    const Pkcs12Protection protection = protectionFor(legacy);
    Pkcs12Ptr p12(PKCS12_create_ex(password.c_str(), nullptr, key.get(), certificate.get(), nullptr,
                                   protection.keyCipher, protection.certificateCipher, Pkcs12Iterations, -1,
                                   0, libraryContext(), nullptr));
    if (!p12 ||
        !PKCS12_set_mac(p12.get(), password.c_str(), -1, nullptr, 0, Pkcs12Iterations, protection.macDigest))
        return fail(error, "cannot build the PKCS#12 structure: " + openSslReason());
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || i2d_PKCS12_bio(bio.get(), p12.get()) != 1)
        return fail(error, "cannot encode the PKCS#12 structure: " + openSslReason());
    return writeFileAtomically(path, bioBytes(bio.get()), error);
}

bool writeCertificateFile(const std::filesystem::path& path, const Credential& credential, bool pem,
                          std::string* error) {
    if (!pem)
        return writeFileAtomically(path, credential.certificateDer, error);
    X509Ptr certificate = decodeCertificate(credential.certificateDer);
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!certificate || !bio || PEM_write_bio_X509(bio.get(), certificate.get()) != 1)
        return fail(error, "the credential holds no valid certificate");
    return writeFileAtomically(path, bioBytes(bio.get()), error);
}

} // namespace quillard::demo
