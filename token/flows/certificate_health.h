// How a certificate stands on its own dates against the current time: valid, expiring within the warning
// window, expired, or not yet valid; and how its chain stands against the system's trust store and the other
// certificates on the key.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace token::flows {

// The warning window of expiring certificates when the user chose none.
constexpr int kDefaultExpiryWarningDays = 30;

// The warning window for the user's setting `days` (the reminder days of MgrConfig.ini): the setting when it
// is positive, the default otherwise.
inline int warningDaysFromSetting(int32_t days) {
    return days > 0 ? days : kDefaultExpiryWarningDays;
}

// The texts and JSON names of the states follow the order of each enum.
enum class CertificateState { Valid, Expiring, Expired, NotYetValid };

struct CertificateHealth {
    CertificateState state = CertificateState::Valid;
    int64_t notBefore = 0; // seconds since 1970 (UTC)
    int64_t notAfter = 0;
    // Whole days from `now` to the end of validity, rounded down; negative once expired.
    int64_t daysLeft = 0;
};

// The state of the DER certificate `der` at `now` (seconds since 1970) with a warning window of
// `warningDays` days; nothing when the certificate or its dates cannot be read.
std::optional<CertificateHealth> judgeCertificate(const std::vector<uint8_t>& der, int64_t now,
                                                  int warningDays);

// The current time in seconds since 1970.
int64_t secondsNow();

enum class ChainResult { Trusted, SelfSigned, IssuerUnknown };

// Whether `der` chains to a certificate of the system's trust store (OpenSSL's default verify paths, so
// SSL_CERT_FILE and SSL_CERT_DIR are honoured), intermediate certificates taken from `keyCertificates` (the
// other certificates on the same key). The certificate's dates are left to judgeCertificate: an expired
// certificate from a trusted issuer is still trusted here. A certificate signed by itself and not in the
// trust store is SelfSigned; anything else that does not verify is IssuerUnknown, also a chain that ends at
// a root found on the key but not trusted (a root on the key proves nothing).
ChainResult checkChain(const std::vector<uint8_t>& der,
                       const std::vector<std::vector<uint8_t>>& keyCertificates);

} // namespace token::flows
