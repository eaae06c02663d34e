// The OpenSSH form of a public key: one "ssh-rsa AAAA... comment" or "ecdsa-sha2-nistp256 AAAA... comment"
// line, as authorized_keys holds it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// The line for a DER SubjectPublicKeyInfo of an RSA key or an EC key on P-256 or P-384; empty for any other
// key or bytes that do not parse.
std::string opensshPublicKey(const std::vector<uint8_t>& subjectPublicKeyInfo, const std::string& comment);

} // namespace cli
