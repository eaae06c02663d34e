// The import of a certificate file into a key, as one sequence the window and the command line share: import
// the PKCS#12 pair (parsed beforehand with pkcs12_file_parse) or the X.509 certificate, the library making
// the container in the same step when it is new. It runs on a worker thread, so it gets its own copy of
// everything it needs and reads no shared record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace token::flows {

enum class ImportKind : int32_t { Pkcs12 = 0, X509 = 1 };

struct CertificateImport {
    ImportKind kind = ImportKind::Pkcs12;
    int32_t key = 0;
    int32_t spec = 1;      // 1 exchange, 2 signature
    int32_t entry = 0;     // PKCS#12 entry index
    std::string path;      // 8-bit file path (X.509)
    std::string container; // 8-bit container name, byte for byte
    bool createContainer = false;
};

// What the work tells its caller when it enters a phase: the progress step and the progress timer's
// interval for that phase. Called on the worker thread.
using ImportPhase = std::function<void(int32_t step, int32_t intervalMs)>;

// Runs the import; 0 or the library's code. A failed import leaves the key as it was, a new container
// included.
int32_t importCertificate(const CertificateImport& job, const ImportPhase& phase);

} // namespace token::flows
