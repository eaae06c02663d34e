#include "certificate_import.h"

#include "token/token_ops.h"

namespace token::flows {

namespace {

struct PhaseSteps {
    int32_t importing;
    int32_t creating;
};

// A PKCS#12 import moves the bar faster than an X.509 one; both slow down while the container is created.
constexpr PhaseSteps kPkcs12Steps{5, 3};
constexpr PhaseSteps kX509Steps{3, 2};
constexpr int32_t kImportingInterval = 150;
constexpr int32_t kCreatingInterval = 350;

} // namespace

int32_t importCertificate(const CertificateImport& job, const ImportPhase& phase) {
    const PhaseSteps steps = job.kind == ImportKind::Pkcs12 ? kPkcs12Steps : kX509Steps;
    phase(steps.importing, kImportingInterval);
    // A new container is made by the import call itself, in the same step as the certificate and its keys,
    // so a failed or interrupted import leaves nothing behind.
    if (job.createContainer)
        phase(steps.creating, kCreatingInterval);
    return job.kind == ImportKind::Pkcs12
               ? pkcs12_import_certificate(job.key, job.container, job.spec, job.entry)
               : x509_import_certificate(job.key, job.container, job.spec, job.path);
}

} // namespace token::flows
