// The per-user certificate store and a key's certificates: the RSA pairs of every container go in under the
// provider's name (elliptic-curve pairs stay out), and after a deletion the store is rebuilt from scratch so
// no entry outlives its certificate.
#pragma once

#include <cstdint>
#include <string>

namespace token::flows {

// Registers the RSA certificates of `slot` under `cspName`; 0, the container list's failure, or the store's
// failure plus 10000 (exchange pair) or 20000 (signature pair).
int32_t registerKeyCertificates(int32_t slot, const std::string& cspName);

// registerKeyCertificates for every key of the last scan, results ignored.
void registerEveryKey(const std::string& cspName);

} // namespace token::flows
