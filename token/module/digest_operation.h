// One digest of a session (C_DigestInit .. C_Digest or C_DigestFinal).
#pragma once

#include "mechanism_table.h"
#include "token/lib/openssl_handles.h"

#include <cstdint>
#include <vector>

namespace quillard::module {

class DigestOperation {
public:
    explicit DigestOperation(const Mechanism& mechanism);

    void update(const uint8_t* data, std::size_t size);
    std::size_t length() const;
    std::vector<uint8_t> finish();

private:
    using MdContextPtr = OpenSslPtr<EVP_MD_CTX, EVP_MD_CTX_free>;

    MdContextPtr context_;
};

} // namespace quillard::module
