#include "issued_certificate.h"

#include "token/enrolment_ops.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace token::flows {

namespace {

template <auto Free> struct Deleter {
    template <typename T> void operator()(T* object) const { Free(object); }
};
using X509Handle = std::unique_ptr<X509, Deleter<X509_free>>;
using Pkcs7Handle = std::unique_ptr<PKCS7, Deleter<PKCS7_free>>;
using BioHandle = std::unique_ptr<BIO, Deleter<BIO_free>>;
using StoreHandle = std::unique_ptr<X509_STORE, Deleter<X509_STORE_free>>;
using StoreContextHandle = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX_free>>;

constexpr std::streamsize kLargestFile = 1 << 20;

CertificateBytes derOf(X509* certificate) {
    const int length = i2d_X509(certificate, nullptr);
    if (length <= 0)
        return {};
    CertificateBytes der(static_cast<std::size_t>(length));
    unsigned char* cursor = der.data();
    i2d_X509(certificate, &cursor);
    return der;
}

X509Handle decoded(const CertificateBytes& der) {
    const unsigned char* cursor = der.data();
    X509Handle certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    return certificate && cursor == der.data() + der.size() ? std::move(certificate) : nullptr;
}

BioHandle memoryOf(const std::string& bytes) {
    return BioHandle(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

std::vector<CertificateBytes> pemCertificates(const std::string& bytes) {
    std::vector<CertificateBytes> certificates;
    BioHandle in = memoryOf(bytes);
    while (X509Handle certificate{PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr)})
        certificates.push_back(derOf(certificate.get()));
    return certificates;
}

std::vector<CertificateBytes> pkcs7Certificates(const std::string& bytes) {
    BioHandle in = memoryOf(bytes);
    Pkcs7Handle bundle(d2i_PKCS7_bio(in.get(), nullptr));
    if (!bundle) {
        in = memoryOf(bytes);
        bundle.reset(PEM_read_bio_PKCS7(in.get(), nullptr, nullptr, nullptr));
    }
    std::vector<CertificateBytes> certificates;
    if (!bundle || OBJ_obj2nid(bundle->type) != NID_pkcs7_signed || !bundle->d.sign)
        return certificates;
    STACK_OF(X509)* stack = bundle->d.sign->cert;
    for (int i = 0; i < sk_X509_num(stack); ++i)
        certificates.push_back(derOf(sk_X509_value(stack, i)));
    return certificates;
}

bool issued(X509* issuer, X509* subject) {
    return issuer != subject && X509_check_issued(issuer, subject) == X509_V_OK;
}

} // namespace

std::vector<CertificateBytes> readCertificateFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (in)
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (bytes.empty() || static_cast<std::streamsize>(bytes.size()) > kLargestFile)
        return {};
    std::vector<CertificateBytes> certificates = pemCertificates(bytes);
    if (certificates.empty()) {
        const CertificateBytes der(bytes.begin(), bytes.end());
        if (decoded(der))
            certificates.push_back(der);
        else
            certificates = pkcs7Certificates(bytes);
    }
    ERR_clear_error();
    return certificates;
}

CertificateBytes leafOf(const std::vector<CertificateBytes>& certificates) {
    std::vector<X509Handle> parsed;
    for (const CertificateBytes& der : certificates)
        parsed.push_back(decoded(der));
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        bool issuesAnother = false;
        for (std::size_t j = 0; j < parsed.size() && parsed[i]; ++j)
            issuesAnother = issuesAnother || (parsed[j] && issued(parsed[i].get(), parsed[j].get()));
        if (parsed[i] && !issuesAnother)
            return certificates[i];
    }
    return {};
}

bool verifiesAgainst(const CertificateBytes& leaf, const std::vector<CertificateBytes>& chain) {
    X509Handle subject = decoded(leaf);
    StoreHandle store(X509_STORE_new());
    StoreContextHandle context(X509_STORE_CTX_new());
    if (!subject || !store || !context)
        return false;
    for (const CertificateBytes& der : chain)
        if (X509Handle issuer = decoded(der); issuer && der != leaf)
            X509_STORE_add_cert(store.get(), issuer.get());
    // Any certificate of the chain may be the one trusted: the chain need not reach a root.
    X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN);
    const bool good = X509_STORE_CTX_init(context.get(), store.get(), subject.get(), nullptr) == 1 &&
                      X509_verify_cert(context.get()) == 1;
    ERR_clear_error();
    return good;
}

InstallOutcome installIssuedCertificate(const InstallJob& job) {
    InstallOutcome outcome;
    const std::vector<CertificateBytes> certificates = readCertificateFile(job.certificatePath);
    outcome.certificate = leafOf(certificates);
    if (outcome.certificate.empty()) {
        outcome.problem = InstallProblem::CertificateUnreadable;
        return outcome;
    }
    std::vector<CertificateBytes> chain = certificates;
    if (!job.chainPath.empty()) {
        chain = readCertificateFile(job.chainPath);
        if (chain.empty()) {
            outcome.problem = InstallProblem::ChainUnreadable;
            return outcome;
        }
    }
    if (chain.size() > (job.chainPath.empty() ? 1u : 0u) && !verifiesAgainst(outcome.certificate, chain)) {
        outcome.problem = InstallProblem::ChainRefused;
        return outcome;
    }
    outcome.code = container_install_cert(job.slot, outcome.certificate, outcome.container, outcome.spec);
    if (outcome.code != 0)
        outcome.problem = InstallProblem::Library;
    return outcome;
}

} // namespace token::flows
