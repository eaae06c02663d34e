// OpenSSL providers: the `default` provider and, beside it, the `legacy` provider, whose RC2 cipher protects
// the certificates of PKCS#12 files that older Windows tools export. Loading `legacy` explicitly switches off
// the implicit `default`, so both are always loaded together.
#pragma once

#include <openssl/types.h>

#include <string>

namespace quillard {

struct ProviderStatus {
    bool defaultLoaded = false;
    bool legacyLoaded = false;
    std::string message; // why a provider is missing; empty when both are loaded
};

// Loads both providers into `context` (nullptr = the process-wide default context) and keeps them loaded.
ProviderStatus loadProviders(OSSL_LIB_CTX* context);

// Loads both providers into the default context on the first call, from any thread; later calls return the
// status of that first load.
const ProviderStatus& ensureOpenSslProviders();

} // namespace quillard
