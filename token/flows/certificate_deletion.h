// Deleting a certificate or a whole container of a logged-in key. After a deletion the store is rebuilt from
// scratch: every entry of the provider goes, then every key found is registered again, so the deleted
// certificate leaves no entry behind.
#pragma once

#include <cstdint>
#include <string>

namespace token::flows {

// 0 or the library's code of the deletion; the store is rebuilt only after a deletion that succeeded.
int32_t deleteCertificate(int32_t slot, const std::string& container, int32_t spec,
                          const std::string& cspName);
int32_t deleteContainer(int32_t slot, const std::string& container, const std::string& cspName);

} // namespace token::flows
