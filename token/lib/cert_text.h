// The text forms of a DER certificate that a certificate viewer shows: names, serial, validity, key, usages,
// fingerprints, OpenSSL's full print-out and the PEM form, all as UTF-8.
#pragma once

#include "driver.h"
#include "quillard.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillard {

// Fills `out` with the text of `field` (one of the QUILLARD_CERT_* values) of the certificate in `der`. Bytes
// that are not exactly one DER certificate, or an unknown field, give QR_ARGUMENTS_BAD and leave `out` alone.
// A usage extension the certificate does not carry gives an empty text.
Result certificateText(const uint8_t* der, std::size_t length, int32_t field, std::string& out);

} // namespace quillard
