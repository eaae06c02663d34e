#include "pin_escrow.h"

#include "cli_texts.h"
#include "failure.h"

#include <QFile>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstring>
#include <exception>

namespace cli {

namespace {

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct CmsFree {
    void operator()(CMS_ContentInfo* cms) const { CMS_ContentInfo_free(cms); }
};
struct CipherFree {
    void operator()(EVP_CIPHER* cipher) const { EVP_CIPHER_free(cipher); }
};
using Bio = std::unique_ptr<BIO, BioFree>;
using Cms = std::unique_ptr<CMS_ContentInfo, CmsFree>;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(kFileProblem, text("FileUnreadable").arg(path));
    return file.readAll();
}

Bio memoryBio(const QByteArray& bytes) {
    return Bio(BIO_new_mem_buf(bytes.constData(), static_cast<int>(bytes.size())));
}

QByteArray bioBytes(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return QByteArray(data, length);
}

// The RSA recipient's key transport is switched from PKCS#1 v1.5 to OAEP with SHA-256.
void useOaep(CMS_RecipientInfo* recipient) {
    EVP_PKEY_CTX* context = CMS_RecipientInfo_get0_pkey_ctx(recipient);
    if (!context || EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_OAEP_PADDING) <= 0 ||
        EVP_PKEY_CTX_set_rsa_oaep_md(context, EVP_sha256()) <= 0 ||
        EVP_PKEY_CTX_set_rsa_mgf1_md(context, EVP_sha256()) <= 0)
        throw Failure(kFailed, text("EscrowFailed"));
}

struct PassPhraseRequest {
    const std::function<platform::SecretBytes()>* ask;
    std::exception_ptr failure; // what asking threw, rethrown once OpenSSL has returned
};

int passPhraseCallback(char* buffer, int size, int, void* data) {
    auto* request = static_cast<PassPhraseRequest*>(data);
    try {
        const platform::SecretBytes phrase = (*request->ask)();
        if (phrase.size() >= size)
            return -1;
        std::memcpy(buffer, phrase.c_str(), static_cast<std::size_t>(phrase.size()));
        return static_cast<int>(phrase.size());
    } catch (...) {
        request->failure = std::current_exception();
        return -1;
    }
}

} // namespace

RecoveryCertificate::RecoveryCertificate(const QString& path) {
    const QByteArray bytes = fileBytes(path);
    Bio bio = memoryBio(bytes);
    certificate_ = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr);
    if (!certificate_) {
        const auto* der = reinterpret_cast<const unsigned char*>(bytes.constData());
        certificate_ = d2i_X509(nullptr, &der, bytes.size());
    }
    ERR_clear_error();
    if (!certificate_)
        throw Failure(kFileProblem, text("NotACertificate").arg(path));
    const int type = EVP_PKEY_get_base_id(X509_get0_pubkey(certificate_));
    if (type != EVP_PKEY_RSA && type != EVP_PKEY_EC)
        throw Failure(kFileProblem, text("RecoveryKeyType").arg(path));
}

RecoveryCertificate::~RecoveryCertificate() {
    X509_free(certificate_);
}

QByteArray RecoveryCertificate::seal(const platform::SecretBytes& secret) const {
    const std::unique_ptr<EVP_CIPHER, CipherFree> cipher(EVP_CIPHER_fetch(nullptr, "AES-256-GCM", nullptr));
    Bio content = memoryBio(secret.bytes());
    const bool rsa = EVP_PKEY_get_base_id(X509_get0_pubkey(certificate_)) == EVP_PKEY_RSA;
    Cms cms(cipher ? CMS_encrypt(nullptr, content.get(), cipher.get(), CMS_BINARY | CMS_PARTIAL) : nullptr);
    CMS_RecipientInfo* recipient =
        cms ? CMS_add1_recipient_cert(cms.get(), certificate_, rsa ? CMS_KEY_PARAM : 0) : nullptr;
    if (!recipient) {
        ERR_clear_error();
        throw Failure(kFailed, text("EscrowFailed"));
    }
    if (rsa)
        useOaep(recipient);
    const Bio out(BIO_new(BIO_s_mem()));
    const bool sealed = CMS_final(cms.get(), content.get(), nullptr, CMS_BINARY) == 1 &&
                        i2d_CMS_bio(out.get(), cms.get()) == 1;
    ERR_clear_error();
    if (!sealed)
        throw Failure(kFailed, text("EscrowFailed"));
    return bioBytes(out.get());
}

RecoveryKey::RecoveryKey(const QString& path, const std::function<platform::SecretBytes()>& passPhrase) {
    const QByteArray bytes = fileBytes(path);
    Bio bio = memoryBio(bytes);
    PassPhraseRequest request{&passPhrase, nullptr};
    key_ = PEM_read_bio_PrivateKey(bio.get(), nullptr, passPhraseCallback, &request);
    ERR_clear_error();
    if (request.failure)
        std::rethrow_exception(request.failure);
    if (!key_)
        throw Failure(kPinRefused, text("RecoveryKeyUnreadable").arg(path));
}

RecoveryKey::~RecoveryKey() {
    EVP_PKEY_free(key_);
}

platform::SecretBytes RecoveryKey::open(const QByteArray& sealed) const {
    Bio in = memoryBio(sealed);
    const Cms cms(d2i_CMS_bio(in.get(), nullptr));
    const Bio out(BIO_new(BIO_s_mem()));
    const bool opened = cms && CMS_decrypt(cms.get(), key_, nullptr, nullptr, out.get(), CMS_BINARY) == 1;
    ERR_clear_error();
    if (!opened)
        throw Failure(kPinRefused, text("RecoveryKeyWrong"));
    QByteArray secret = bioBytes(out.get());
    char* data = nullptr;
    const long length = BIO_get_mem_data(out.get(), &data);
    OPENSSL_cleanse(data, static_cast<std::size_t>(length));
    return platform::SecretBytes(std::move(secret));
}

} // namespace cli
