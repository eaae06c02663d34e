// The per-user system certificate store that libquillard owns: one SQLite database holding, for each
// registered certificate, the CSP name, container and key specification that lead to its private key. Entries
// are keyed by the certificate's SHA-1 thumbprint, so a certificate is registered at most once.
#pragma once

#include "driver.h"
#include "paths.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace quillard {

struct CertStoreEntry {
    std::string thumbprint; // SHA-1 of the certificate, 40 upper-case hexadecimal digits
    std::string csp;        // 8-bit text, kept byte for byte
    std::string container;  // 8-bit text, kept byte for byte
    int32_t spec = 0;       // 1 exchange, 2 signature
    std::vector<uint8_t> certificateDer;
};

class CertStore {
public:
    // The database at `path`, created with its folders on the first add.
    explicit CertStore(std::filesystem::path path = certStorePath());

    // Registers `certificateDer` for (container, csp, spec); registering the same certificate again replaces
    // its entry. QR_ARGUMENTS_BAD when the bytes are not exactly one DER certificate, a name is empty or spec
    // is not 1 or 2; QR_STORAGE_ERROR when the database cannot be written; QR_FILE_NOT_PRIVATE (here and
    // below) when another user owns the store and others may read it.
    Result add(const std::string& container, const std::string& csp, int32_t spec,
               std::span<const uint8_t> certificateDer);

    // Removes every entry registered for `csp` (exact byte comparison), whichever key it came from.
    Result removeAllForCsp(const std::string& csp);

    // All entries, oldest registration first.
    Result list(std::vector<CertStoreEntry>& out) const;

private:
    std::filesystem::path path_;
};

} // namespace quillard
