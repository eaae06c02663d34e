// Installing the certificate a CA issued for a key pair on the key: the file is read (PEM, DER or PKCS#7),
// its end-entity certificate checked against its chain when there is one, and put beside the key pair whose
// public key it carries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace token::flows {

using CertificateBytes = std::vector<uint8_t>;

// The certificates of a file: one or more PEM certificates, one DER certificate, or a PKCS#7 bundle (DER or
// PEM). Empty when the file cannot be read or holds none.
std::vector<CertificateBytes> readCertificateFile(const std::string& path);

// The end-entity certificate among `certificates`: the first one that issued none of the others.
CertificateBytes leafOf(const std::vector<CertificateBytes>& certificates);

// Whether `leaf` verifies against `chain` (its issuers, up to any of them taken as trusted).
bool verifiesAgainst(const CertificateBytes& leaf, const std::vector<CertificateBytes>& chain);

enum class InstallProblem {
    None,
    CertificateUnreadable, // the file cannot be read or holds no certificate
    ChainUnreadable,       // the chain file cannot be read or holds no certificate
    ChainRefused,          // the certificate does not verify against the chain
    Library                // the library refused: `code` (QR_NO_MATCHING_KEY when no pair matches)
};

struct InstallJob {
    int32_t slot = -1;
    std::string certificatePath;
    std::string chainPath; // empty: the other certificates of the file, if any, are the chain
};

struct InstallOutcome {
    InstallProblem problem = InstallProblem::None;
    int32_t code = 0;
    std::string container; // where it went
    int32_t spec = 0;
    CertificateBytes certificate;
};

InstallOutcome installIssuedCertificate(const InstallJob& job);

} // namespace token::flows
