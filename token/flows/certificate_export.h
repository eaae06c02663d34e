// Reading one certificate of a container for export: the bytes exactly as the key holds them (DER), or their
// PEM text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace token::flows {

// The certificate of `spec` in `container` of `slot` into `certificate`; 0 or the library's code.
int32_t readCertificate(int32_t slot, const std::string& container, int32_t spec,
                        std::vector<uint8_t>& certificate);

// The PEM form of a DER certificate into `pem`; 0 or the library's code (QR_ARGUMENTS_BAD for bytes that are
// not one certificate).
int32_t certificatePem(const std::vector<uint8_t>& certificate, std::string& pem);

} // namespace token::flows
