// Whether the certificate an import would store is valid now: an expired or not yet valid certificate is
// imported only when the user agrees (the window asks, the command line needs --allow-expired), and the
// question says the certificate's dates.
#pragma once

#include "certificate_health.h"
#include "certificate_import.h"

#include <cstdint>
#include <optional>

namespace token::flows {

// The dates and state at `now` of the certificate `job` would import (a PKCS#12 job must have been prepared,
// so its entry is chosen); nothing when the library cannot give the certificate or its dates.
std::optional<CertificateHealth> importedCertificateHealth(const CertificateImport& job, int64_t now);

// True for a certificate that has expired or is not valid yet.
bool outsideValidity(const CertificateHealth& health);

} // namespace token::flows
