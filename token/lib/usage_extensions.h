// The extensions a request or self-signed certificate carries: subject alternative names and the key usage
// and extended key usage of a usage template.
#pragma once

#include "driver.h"
#include "openssl_handles.h"

#include <openssl/x509v3.h>

#include <string>

namespace quillard {

inline void freeExtensionStack(STACK_OF(X509_EXTENSION) * stack) {
    sk_X509_EXTENSION_pop_free(stack, X509_EXTENSION_free);
}
using ExtensionStackPtr = OpenSslPtr<STACK_OF(X509_EXTENSION), freeExtensionStack>;

// The extensions for a key of `algorithm` (AlgorithmRsa or AlgorithmEcc): `altNames` as "DNS:a,email:b,
// IP:c,URI:d" (none when empty) and the usages of `usage`, a QuillardUsageTemplate; `selfSigned` adds the
// certificate signing a certificate that is its own issuer needs, and its key identifier. `context` is set
// up for the certificate or request the extensions go in. Null for names or a template that do not parse.
ExtensionStackPtr usageExtensions(const std::string& altNames, int32_t usage, int32_t algorithm,
                                  bool selfSigned, X509V3_CTX* context);

// Whether `usage` is one of the QuillardUsageTemplate values.
bool knownUsageTemplate(int32_t usage);

} // namespace quillard
