#include "certificate_health.h"

#include <openssl/asn1.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <chrono>
#include <ctime>
#include <memory>

namespace token::flows {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;

struct StoreFree {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct StoreContextFree {
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
struct StackFree {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};

X509Ptr decode(const std::vector<uint8_t>& der) {
    const unsigned char* cursor = der.data();
    return X509Ptr(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
}

std::optional<int64_t> secondsOf(const ASN1_TIME* time) {
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1)
        return std::nullopt;
    return static_cast<int64_t>(timegm(&parts));
}

// Rounds down, also for negative spans, so a certificate that expired a minute ago has -1 days left.
int64_t wholeDays(int64_t seconds) {
    const int64_t days = seconds / kSecondsPerDay;
    return (seconds % kSecondsPerDay < 0) ? days - 1 : days;
}

CertificateState stateAt(const CertificateHealth& health, int64_t now, int warningDays) {
    if (now > health.notAfter)
        return CertificateState::Expired;
    if (now < health.notBefore)
        return CertificateState::NotYetValid;
    if (health.notAfter - now <= static_cast<int64_t>(warningDays) * kSecondsPerDay)
        return CertificateState::Expiring;
    return CertificateState::Valid;
}

// Issued by itself and signed with its own key. Unlike X509_check_issued this asks for no certificate-signing
// key usage, which the self-signed certificates of end users often lack.
bool signedByItself(X509* certificate) {
    return X509_self_signed(certificate, 1) == 1;
}

// The other certificates of the key as the untrusted pool a chain may be built from.
std::unique_ptr<STACK_OF(X509), StackFree>
untrustedPool(const std::vector<std::vector<uint8_t>>& keyCertificates) {
    std::unique_ptr<STACK_OF(X509), StackFree> pool(sk_X509_new_null());
    for (const std::vector<uint8_t>& der : keyCertificates) {
        X509Ptr certificate = decode(der);
        if (certificate && sk_X509_push(pool.get(), certificate.get()) > 0)
            certificate.release();
    }
    return pool;
}

// The verification error of `certificate`, or X509_V_OK.
int verificationError(X509* certificate, STACK_OF(X509) * pool) {
    std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
    std::unique_ptr<X509_STORE_CTX, StoreContextFree> context(X509_STORE_CTX_new());
    if (!store || !context || X509_STORE_set_default_paths(store.get()) != 1 ||
        X509_STORE_CTX_init(context.get(), store.get(), certificate, pool) != 1)
        return X509_V_ERR_UNSPECIFIED;
    X509_STORE_CTX_set_flags(context.get(), X509_V_FLAG_NO_CHECK_TIME);
    if (X509_verify_cert(context.get()) == 1)
        return X509_V_OK;
    return X509_STORE_CTX_get_error(context.get());
}

} // namespace

int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<CertificateHealth> judgeCertificate(const std::vector<uint8_t>& der, int64_t now,
                                                  int warningDays) {
    const X509Ptr certificate = decode(der);
    if (!certificate)
        return std::nullopt;
    const std::optional<int64_t> notBefore = secondsOf(X509_get0_notBefore(certificate.get()));
    const std::optional<int64_t> notAfter = secondsOf(X509_get0_notAfter(certificate.get()));
    if (!notBefore || !notAfter)
        return std::nullopt;
    CertificateHealth health;
    health.notBefore = *notBefore;
    health.notAfter = *notAfter;
    health.daysLeft = wholeDays(health.notAfter - now);
    health.state = stateAt(health, now, warningDays);
    return health;
}

ChainResult checkChain(const std::vector<uint8_t>& der,
                       const std::vector<std::vector<uint8_t>>& keyCertificates) {
    const X509Ptr certificate = decode(der);
    if (!certificate)
        return ChainResult::IssuerUnknown;
    const auto pool = untrustedPool(keyCertificates);
    switch (verificationError(certificate.get(), pool.get())) {
    case X509_V_OK:
        return ChainResult::Trusted;
    default:
        return signedByItself(certificate.get()) ? ChainResult::SelfSigned : ChainResult::IssuerUnknown;
    }
}

} // namespace token::flows
