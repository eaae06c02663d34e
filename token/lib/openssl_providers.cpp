#include "openssl_providers.h"

#include <openssl/err.h>
#include <openssl/provider.h>

namespace quillard {

namespace {

// Loads one provider; on failure returns OpenSSL's reason, else an empty string.
std::string loadProvider(OSSL_LIB_CTX* context, const char* name) {
    ERR_clear_error();
    if (OSSL_PROVIDER_load(context, name))
        return {};
    char reason[256] = {};
    ERR_error_string_n(ERR_peek_last_error(), reason, sizeof reason);
    ERR_clear_error();
    return std::string("the OpenSSL '") + name + "' provider cannot be loaded (" + reason + ")";
}

} // namespace

ProviderStatus loadProviders(OSSL_LIB_CTX* context) {
    ProviderStatus status;
    std::string defaultError = loadProvider(context, "default");
    std::string legacyError = loadProvider(context, "legacy");
    status.defaultLoaded = defaultError.empty();
    status.legacyLoaded = legacyError.empty();
    status.message = defaultError;
    if (!legacyError.empty()) {
        if (!status.message.empty())
            status.message += "; ";
        status.message += legacyError + ": PKCS#12 files protected with RC2 cannot be read or written";
    }
    return status;
}

const ProviderStatus& ensureOpenSslProviders() {
    // A function-local static is initialised exactly once, even when several threads arrive together.
    static const ProviderStatus status = loadProviders(nullptr);
    return status;
}

} // namespace quillard
