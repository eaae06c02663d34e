// Owning handles for OpenSSL objects, so every early return frees what it allocated. Objects that may hold
// key material (EVP_PKEY, PKCS8_PRIV_KEY_INFO) are freed by functions that clear it first.
#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <memory>

namespace quillard {

template <auto FreeFunction> struct OpenSslDeleter {
    template <typename T> void operator()(T* object) const { FreeFunction(object); }
};

template <typename T, auto FreeFunction> using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<FreeFunction>>;

using BioPtr = OpenSslPtr<BIO, BIO_free_all>;
using X509Ptr = OpenSslPtr<X509, X509_free>;
using EvpPkeyPtr = OpenSslPtr<EVP_PKEY, EVP_PKEY_free>;
using PkeyContextPtr = OpenSslPtr<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using Pkcs12Ptr = OpenSslPtr<PKCS12, PKCS12_free>;
using Pkcs8Ptr = OpenSslPtr<PKCS8_PRIV_KEY_INFO, PKCS8_PRIV_KEY_INFO_free>;

inline void freeSafeBagStack(STACK_OF(PKCS12_SAFEBAG) * bags) {
    sk_PKCS12_SAFEBAG_pop_free(bags, PKCS12_SAFEBAG_free);
}
inline void freePkcs7Stack(STACK_OF(PKCS7) * stack) {
    sk_PKCS7_pop_free(stack, PKCS7_free);
}

using SafeBagStackPtr = OpenSslPtr<STACK_OF(PKCS12_SAFEBAG), freeSafeBagStack>;
using Pkcs7StackPtr = OpenSslPtr<STACK_OF(PKCS7), freePkcs7Stack>;

} // namespace quillard
