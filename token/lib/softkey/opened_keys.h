// The private keys of one user login, decoded once and kept until the login ends, so that a program signing
// again and again with the same key does not unseal and decode it for every signature. Each entry remembers
// the sealed form it was opened from: a key replaced on the key (by this or another process) has a new seal
// and is opened anew. The keys are freed, their secret numbers wiped by OpenSSL, with the login.
#pragma once

#include "token/lib/openssl_handles.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quillard::softkey {

class OpenedKeys {
public:
    // The key of (name, spec) whose sealed form is `sealed`: the kept one when it was opened from the same
    // seal, else what `open` gives (kept from then on). What `open` throws passes through, keeping nothing.
    EVP_PKEY* get(const std::string& name, int32_t spec, const std::vector<uint8_t>& sealed,
                  const std::function<EvpPkeyPtr()>& open);

private:
    struct Entry {
        std::vector<uint8_t> sealed;
        EvpPkeyPtr key;
    };
    std::map<std::pair<std::string, int32_t>, Entry> entries_;
};

} // namespace quillard::softkey
