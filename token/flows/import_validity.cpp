#include "import_validity.h"

#include "token/token_ops.h"

namespace token::flows {

std::optional<CertificateHealth> importedCertificateHealth(const CertificateImport& job, int64_t now) {
    std::vector<uint8_t> der;
    const int32_t result = job.kind == ImportKind::Pkcs12 ? pkcs12_entry_certificate(job.entry, der)
                                                          : x509_file_certificate(job.path, der);
    if (result != 0)
        return std::nullopt;
    // The warning window plays no part here: only a certificate outside its validity is asked about.
    return judgeCertificate(der, now, 0);
}

bool outsideValidity(const CertificateHealth& health) {
    return health.state == CertificateState::Expired || health.state == CertificateState::NotYetValid;
}

} // namespace token::flows
