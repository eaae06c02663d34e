// The fields of a DER certificate that the certificate tree and the store registration show and test.
#pragma once

#include "driver.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include <openssl/types.h>

namespace quillard {

// Longest subject, issuer and serial text, so each fits a 257-unit buffer with its terminating NUL.
constexpr std::size_t MaxCertInfoText = 256;

// A moment in UTC as nine integers: year, month (1-12), day (1-31), hour, minute, second, day of the week
// (0 = Sunday), day of the year (1 = January 1st) and 0.
using CertDate = std::array<int32_t, 9>;

struct CertInfo {
    // Simple display names: the first common name, else organisation, else organisational unit, else e-mail
    // address, else the whole name on one line ("C=CN, ST=..."). Cut to MaxCertInfoText UTF-16 units, never
    // inside a surrogate pair.
    std::u16string subject;
    std::u16string issuer;
    int32_t version = 0; // the X.509 version: 1, 2 or 3
    // The serial number's value as upper-case hexadecimal, two digits a byte, "-" before a negative one.
    std::string serial;
    CertDate validFrom{};
    CertDate validTo{};
    // 0 when the certificate is signed with an RSA (including RSA-PSS) or ECDSA key, 1 for any other
    // signature.
    int32_t algorithm = 0;
};

// Whether the certificate's version field is one X.509 knows (1, 2 or 3). The field is a free integer in the
// encoding, so a certificate may claim any version; one no standard defines is not usable.
bool hasKnownVersion(const X509* certificate);

// Decodes exactly one DER certificate of `length` bytes. A null pointer, a zero length, or bytes that are not
// exactly one certificate give QR_ARGUMENTS_BAD, a certificate of an unknown version QR_FILE_UNUSABLE, and
// `out` is left alone. What the certificates met lately decode to is kept (a bounded number of them, for the
// whole process), so the same bytes are decoded once.
Result readCertInfo(const uint8_t* der, std::size_t length, CertInfo& out);

// Forgets what readCertInfo() has kept.
void forgetCertInfos();

} // namespace quillard
