#include "certificate_export.h"

#include "token/cert_info_record.h"
#include "token/token_ops.h"

#include <algorithm>

namespace token::flows {

int32_t readCertificate(int32_t slot, const std::string& container, int32_t spec,
                        std::vector<uint8_t>& certificate) {
    certificate.assign(kCertificateBufferSize, 0);
    int32_t length = kCertificateBufferSize;
    const int32_t result = container_get_cert(slot, container, spec, certificate.data(), length);
    certificate.resize(result == 0 ? static_cast<std::size_t>(std::clamp(length, 0, kCertificateBufferSize))
                                   : 0);
    return result;
}

int32_t certificatePem(const std::vector<uint8_t>& certificate, std::string& pem) {
    return helper_get_cert_text(certificate.data(), static_cast<int32_t>(certificate.size()),
                                QUILLARD_CERT_PEM, pem);
}

} // namespace token::flows
