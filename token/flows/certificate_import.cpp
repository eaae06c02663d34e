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
    if (job.createContainer) {
        phase(steps.creating, kCreatingInterval);
        if (const int32_t result = container_create_new(job.key, job.container); result != 0)
            return result;
    }
    const int32_t result = job.kind == ImportKind::Pkcs12
                               ? pkcs12_import_certificate(job.key, job.container, job.spec, job.entry)
                               : x509_import_certificate(job.key, job.container, job.spec, job.path);
    // A failed import leaves nothing behind: the container made for it goes again.
    if (result != 0 && job.createContainer)
        container_delete(job.key, job.container);
    return result;
}

} // namespace token::flows
