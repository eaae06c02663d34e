// One field of a certificate the key holds, as text: subject, issuer, fingerprints and the rest
// (QUILLARD_CERT_*), read by the library.
#pragma once

#include "token/cert_info_record.h"

#include <QString>
#include <cstdint>

namespace cli {

// The text of `field` of `info`'s certificate; empty when the library cannot read it.
QString certificateText(const token::TZartoCertInfo& info, int32_t field);

} // namespace cli
