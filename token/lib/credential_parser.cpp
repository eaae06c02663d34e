#include "credential_parser.h"

#include "cert_info.h"
#include "openssl_handles.h"
#include "openssl_providers.h"
#include "pkcs12_contents.h"
#include "quillard_errors.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <filesystem>
#include <fstream>

namespace quillard {

namespace {

// Certificate files are small; anything larger is refused before it is read into memory.
constexpr std::uintmax_t MaxCredentialFileSize = 16 * 1024 * 1024;

// The whole file, in wiping storage because a PKCS#12 file may hold an unencrypted key.
Result readCredentialFile(const std::string& path, SecureBytes& out) {
    std::error_code error;
    const std::filesystem::path file(path);
    if (path.empty() || !std::filesystem::exists(file, error))
        return QR_FILE_NOT_FOUND;
    if (!std::filesystem::is_regular_file(file, error))
        return QR_FILE_UNUSABLE;
    std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size == 0 || size > MaxCredentialFileSize)
        return QR_FILE_UNUSABLE;
    std::ifstream stream(file, std::ios::binary);
    SecureBytes bytes(static_cast<std::size_t>(size));
    if (!stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        return QR_FILE_UNUSABLE;
    out = std::move(bytes);
    return QR_OK;
}

// The password callback of every PEM read: an encrypted block is refused instead of OpenSSL asking for a
// pass phrase on the terminal, which would stop the caller until someone typed.
int refusePassword(char*, int, int, void*) {
    return -1;
}

X509Ptr decodeCertificate(const SecureBytes& bytes) {
    const unsigned char* cursor = bytes.data();
    X509Ptr certificate(decodeCertificateInLibraryContext(nullptr, &cursor, static_cast<long>(bytes.size())));
    if (certificate && cursor == bytes.data() + bytes.size())
        return certificate;
    BioPtr pem(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    // PEM_read_bio_X509 fills a certificate made in libraryContext() instead of making one of its own. A
    // failed decoding frees what it was given (and clears the pointer); a file with no PEM block does not.
    X509* into = pem ? X509_new_ex(libraryContext(), nullptr) : nullptr;
    certificate.reset(into ? PEM_read_bio_X509(pem.get(), &into, refusePassword, nullptr) : nullptr);
    if (!certificate)
        X509_free(into);
    ERR_clear_error();
    return certificate;
}

Pkcs12Ptr decodePkcs12(const SecureBytes& bytes) {
    const unsigned char* cursor = bytes.data();
    // Decoded into a PKCS12 made in libraryContext(): its authenticated safe keeps that context, and the MAC
    // and every decryption of the file then use its providers (the legacy one for RC2 among them). On a
    // failure OpenSSL frees the object it was given and clears the pointer.
    PKCS12* made = PKCS12_init_ex(NID_pkcs7_data, libraryContext(), nullptr);
    Pkcs12Ptr p12(made ? d2i_PKCS12(&made, &cursor, static_cast<long>(bytes.size())) : nullptr);
    if (!p12)
        PKCS12_free(made);
    ERR_clear_error();
    if (p12 && cursor == bytes.data() + bytes.size())
        return p12;
    return nullptr;
}

Result encodeCertificate(X509* certificate, std::vector<uint8_t>& der) {
    int length = i2d_X509(certificate, nullptr);
    if (length <= 0)
        return QR_FILE_UNUSABLE;
    der.resize(static_cast<std::size_t>(length));
    unsigned char* cursor = der.data();
    return i2d_X509(certificate, &cursor) == length ? QR_OK : QR_FILE_UNUSABLE;
}

Result certificateCredential(X509* certificate, Credential& out) {
    if (!hasKnownVersion(certificate))
        return QR_FILE_UNUSABLE;
    Credential credential;
    if (Result result = encodeCertificate(certificate, credential.certificateDer); result != QR_OK)
        return result;
    const EVP_PKEY* publicKey = X509_get0_pubkey(certificate);
    if (!publicKey)
        return QR_FILE_UNUSABLE;
    if (Result result = describePublicKey(publicKey, credential.publicKey); result != QR_OK)
        return result;
    out = std::move(credential);
    return QR_OK;
}

// The certificate of `key`: preferably the one sharing its localKeyID, otherwise any unused one holding its
// public key. A certificate whose public key differs is never paired, whatever its attributes say.
Pkcs12Certificate* certificateFor(const Pkcs12Key& key, std::vector<Pkcs12Certificate*>& unused) {
    auto matches = [&](const Pkcs12Certificate* candidate, bool byId) {
        if (byId && (key.localKeyId.empty() || candidate->localKeyId != key.localKeyId))
            return false;
        return X509_check_private_key(candidate->certificate.get(), key.key.get()) == 1;
    };
    for (bool byId : {true, false}) {
        for (auto it = unused.begin(); it != unused.end(); ++it) {
            if (matches(*it, byId)) {
                Pkcs12Certificate* found = *it;
                unused.erase(it);
                return found;
            }
        }
    }
    return nullptr;
}

// One entry per key that has a certificate; keys of algorithms a key cannot hold are left out.
std::vector<Credential> pairKeysWithCertificates(Pkcs12Contents& contents) {
    std::vector<Pkcs12Certificate*> unused;
    for (Pkcs12Certificate& certificate : contents.certificates)
        unused.push_back(&certificate);
    std::vector<Credential> entries;
    for (const Pkcs12Key& key : contents.keys) {
        Pkcs12Certificate* certificate = certificateFor(key, unused);
        Credential entry;
        if (!certificate || certificateCredential(certificate->certificate.get(), entry) != QR_OK ||
            encodePrivateKey(key.key.get(), entry.privateKeyDer) != QR_OK)
            continue;
        entries.push_back(std::move(entry));
    }
    ERR_clear_error();
    return entries;
}

} // namespace

Result parsePkcs12Entries(const std::string& path, const SecureString& password,
                          std::vector<Credential>& out) {
    SecureBytes bytes;
    if (Result result = readCredentialFile(path, bytes); result != QR_OK)
        return result;
    Pkcs12Ptr p12 = decodePkcs12(bytes);
    if (!p12)
        return QR_FILE_UNUSABLE;
    Pkcs12Contents contents;
    if (Result result = readPkcs12Contents(p12.get(), password, contents); result != QR_OK)
        return result;
    out = pairKeysWithCertificates(contents);
    return QR_OK;
}

Result parsePkcs12File(const std::string& path, const SecureString& password, std::vector<Credential>& out) {
    std::vector<Credential> entries;
    if (Result result = parsePkcs12Entries(path, password, entries); result != QR_OK)
        return result;
    if (entries.empty())
        return QR_FILE_UNUSABLE;
    out = std::move(entries);
    return QR_OK;
}

Result parseCertificateFile(const std::string& path, Credential& out) {
    SecureBytes bytes;
    if (Result result = readCredentialFile(path, bytes); result != QR_OK)
        return result;
    X509Ptr certificate = decodeCertificate(bytes);
    if (!certificate)
        return QR_FILE_UNUSABLE;
    return certificateCredential(certificate.get(), out);
}

} // namespace quillard
