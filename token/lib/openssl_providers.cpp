#include "openssl_providers.h"

#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

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

namespace {

struct LibraryContext {
    OSSL_LIB_CTX* context = nullptr;
    ProviderStatus status;
};

const LibraryContext& theLibraryContext() {
    // A function-local static is initialised exactly once, even when several threads arrive together.
    static const LibraryContext made = [] {
        LibraryContext result;
        // A new context reads no configuration file: the program's and the system's openssl.cnf stay out.
        result.context = OSSL_LIB_CTX_new();
        if (!result.context) {
            result.status.message = "OpenSSL cannot make a library context";
            return result;
        }
        result.status = loadProviders(result.context);
        return result;
    }();
    return made;
}

} // namespace

OSSL_LIB_CTX* libraryContext() {
    return theLibraryContext().context;
}

X509* decodeCertificateInLibraryContext(X509** out, const unsigned char** der, long length) {
    return reinterpret_cast<X509*>(ASN1_item_d2i_ex(reinterpret_cast<ASN1_VALUE**>(out), der, length,
                                                    ASN1_ITEM_rptr(X509), libraryContext(), nullptr));
}

const ProviderStatus& ensureOpenSslProviders() {
    return theLibraryContext().status;
}

} // namespace quillard
