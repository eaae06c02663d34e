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

// The OpenSSL library context libquillard and the PKCS#11 module do all their cryptography in, made on the
// first call (from any thread) with both providers loaded into it and never freed. Being their own, no
// configuration file, engine or provider of the program they run in changes what they compute, and nothing
// they load changes the program's own OpenSSL.
OSSL_LIB_CTX* libraryContext();

// d2i_X509 in libraryContext(), so the certificate's public key is decoded by its providers.
X509* decodeCertificateInLibraryContext(X509** out, const unsigned char** der, long length);

// The status of loading both providers into libraryContext().
const ProviderStatus& ensureOpenSslProviders();

} // namespace quillard
