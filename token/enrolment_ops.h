// The operations of enrolment: one per libquillard enrolment function, in the operations layer's style
// (results are the library's codes, 0 = success; buffers sized and grown here).
#pragma once

#include "token/lib/quillard.h"

#include <cstdint>
#include <string>
#include <vector>

namespace token {

// A kind of key pair a key generates: 0 RSA or 3 ECC, with its bits (2048/3072/4096, 256/384).
struct KeyPairKind {
    int32_t algorithm = 0;
    int32_t bits = 0;
    bool operator==(const KeyPairKind&) const = default;
};

// What a request or self-signed certificate says: a one-line DN, alternative names ("DNS:a,email:b"), a
// QuillardUsageTemplate and, for a self-signed certificate, its days.
struct CertificateRequestFields {
    std::string subject;
    std::string altNames;
    int32_t usage = QUILLARD_USAGE_NONE;
    int32_t days = 365;
};

int32_t token_get_keygen_algorithms(int32_t idx, std::vector<KeyPairKind>& kinds);
int32_t container_generate_keypair(int32_t idx, const std::string& container, int32_t spec,
                                   const KeyPairKind& kind);
int32_t container_sign_data(int32_t idx, const std::string& container, int32_t spec,
                            const std::vector<uint8_t>& data, std::vector<uint8_t>& signature);
// A DER request, or with `selfSigned` a DER self-signed certificate, for the pair of (container, spec).
int32_t container_build_request(int32_t idx, const std::string& container, int32_t spec,
                                const CertificateRequestFields& fields, bool selfSigned,
                                std::vector<uint8_t>& der);
// Installs a DER certificate beside its key pair; `container` and `spec` receive where it went.
int32_t container_install_cert(int32_t idx, const std::vector<uint8_t>& certificate, std::string& container,
                               int32_t& spec);
// The public key of (container, spec): its algorithm, bits and DER SubjectPublicKeyInfo.
struct PublicKeyFacts {
    int32_t algorithm = 0;
    int32_t bits = 0;
    std::vector<uint8_t> subjectPublicKeyInfo;
};
int32_t container_public_key(int32_t idx, const std::string& container, int32_t spec, PublicKeyFacts& key);

} // namespace token
