#include "digest_operation.h"

#include "module_error.h"
#include "token/lib/openssl_providers.h"

namespace quillard::module {

DigestOperation::DigestOperation(const Mechanism& mechanism) : context_(EVP_MD_CTX_new()) {
    // The context keeps its own reference to the digest fetched.
    OpenSslPtr<EVP_MD, EVP_MD_free> digest(EVP_MD_fetch(libraryContext(), mechanism.digest, nullptr));
    if (!context_ || !digest || !EVP_DigestInit_ex(context_.get(), digest.get(), nullptr))
        fail(CKR_GENERAL_ERROR);
}

void DigestOperation::update(const uint8_t* data, std::size_t size) {
    if (size && !EVP_DigestUpdate(context_.get(), data, size))
        fail(CKR_GENERAL_ERROR);
}

std::size_t DigestOperation::length() const {
    return static_cast<std::size_t>(EVP_MD_CTX_get_size(context_.get()));
}

std::vector<uint8_t> DigestOperation::finish() {
    std::vector<uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    if (!EVP_DigestFinal_ex(context_.get(), digest.data(), &size))
        fail(CKR_GENERAL_ERROR);
    digest.resize(size);
    return digest;
}

} // namespace quillard::module
