// The read of a whole key that the certificate tree makes, through the operations layer as the window calls
// it: the container names, then for both key specifications of every container the certificate with its
// information and public key (ReadCertInfo), the public key again and the private key.
#pragma once

#include "token/token_ops.h"

#include <cstdint>

namespace bench {

// The PINs of every benchmark key.
constexpr const char* kUserPin = "12345678";
constexpr const char* kSoPin = "87654321";

// Throws std::runtime_error naming `what` unless `result` is 0.
void require(int32_t result, const char* what);

// Reads key `idx` whole; returns how many objects it read (certificates, public and private keys).
int readWholeKey(int32_t idx, token::TZartoInfo& record, token::TZartoCertInfo& info);

} // namespace bench
