// Where an issued certificate belongs on a key: beside the key pair whose public key it carries.
#pragma once

#include "driver.h"

#include <string>
#include <vector>

namespace quillard {

struct KeyPairPlace {
    std::string container;
    int32_t spec = 0;
};

// Looks through every container of the key at `idx` for the key pair (public key) equal to the public key of
// the DER certificate `certificateDer`. QR_ARGUMENTS_BAD for bytes that are not one certificate,
// QR_NO_MATCHING_KEY when no pair matches.
Result findKeyPairOf(Driver& driver, int32_t idx, const std::vector<uint8_t>& certificateDer,
                     KeyPairPlace& place);

// Stores the certificate beside its key pair, keeping the private key there; `place` receives where.
Result installCertificate(Driver& driver, int32_t idx, const std::vector<uint8_t>& certificateDer,
                          KeyPairPlace& place);

} // namespace quillard
