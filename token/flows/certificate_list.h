// Reading what a logged-in key holds, as the certificate tree and the command line show it: the container
// names (into the key table's record, emptied when the list cannot be read), and for each container and key
// specification the certificate with its information and whether the public and private keys answer. The
// certificate presence table is brought in step on the way.
#pragma once

#include "token/cert_info_record.h"

#include <cstdint>
#include <string>
#include <vector>

namespace token::flows {

// One key of a pair: whether the library answered for it, and the key type it reported (3 elliptic curve).
struct PairKey {
    bool present = false;
    int32_t keyType = 0;
};

struct ContainerCertificate {
    int32_t spec = 0; // 1 exchange, 2 signature
    TZartoCertInfo info;
    PairKey publicKey;
    PairKey privateKey;
};

struct ContainerEntry {
    std::string name; // 8-bit, byte for byte as the key has it
    std::vector<ContainerCertificate> certificates;
    // The key specifications holding a key pair without certificate (a pair made on the key, waiting for
    // the certificate its request brings back).
    std::vector<int32_t> keyPairsWithoutCertificate;
};

struct CertificateList {
    int32_t code = 0; // the result of reading the container names
    std::vector<ContainerEntry> containers;
};

CertificateList readCertificateList(int32_t slot);

} // namespace token::flows
