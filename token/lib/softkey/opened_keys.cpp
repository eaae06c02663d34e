#include "opened_keys.h"

namespace quillard::softkey {

EVP_PKEY* OpenedKeys::get(const std::string& name, int32_t spec, const std::vector<uint8_t>& sealed,
                          const std::function<EvpPkeyPtr()>& open) {
    auto found = entries_.find({name, spec});
    if (found != entries_.end() && found->second.sealed == sealed)
        return found->second.key.get();
    EvpPkeyPtr opened = open();
    Entry& entry = entries_[{name, spec}];
    entry = Entry{sealed, std::move(opened)};
    return entry.key.get();
}

} // namespace quillard::softkey
