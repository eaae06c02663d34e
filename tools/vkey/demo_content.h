// The demo content of a virtual key: one container of RSA 2048 pairs and one of EC P-256 pairs, each with an
// exchange pair (1) and a signature pair (2), every pair with its self-signed certificate.
#pragma once

#include "token/lib/driver.h"
#include "token/lib/secure_bytes.h"

#include <string>

namespace vkey {

class DemoContent {
public:
    // Logs in to the plugged key `serial` with `userPin` and writes the content; containers that exist
    // already get fresh pairs. On failure `detail` says what went wrong.
    static quillard::Result fill(const std::string& serial, const quillard::SecureString& userPin,
                                 std::string& detail);
};

} // namespace vkey
