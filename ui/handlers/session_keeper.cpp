#include "session_keeper.h"

#include "token/cert_presence.h"

#include <algorithm>

namespace ui {

void SessionKeeper::remember(const std::vector<token::flows::KeyIdentity>& shown,
                             const token::KeyTable& table) {
    keys_.clear();
    const auto count = std::min<std::size_t>(shown.size(), token::kMaxKeysFound);
    for (std::size_t slot = 0; slot < count; ++slot) {
        const token::TZartoInfo& record = table.keys[slot];
        RememberedKey& key = keys_.emplace_back(shown[slot], table.loginState[slot], record.containerCount,
                                                record.containerNames);
        rememberCertificates(static_cast<int32_t>(slot), key);
    }
    currentKey_ = table.currentKey;
}

std::optional<int32_t> SessionKeeper::rememberedSlotOf(const token::flows::KeyIdentity& identity,
                                                       std::vector<bool>& matched) const {
    // Each remembered key stands for one key found; keys that cannot be told apart keep their order.
    for (std::size_t index = 0; index < keys_.size(); ++index) {
        if (!matched[index] && keys_[index].identity == identity) {
            matched[index] = true;
            return static_cast<int32_t>(index);
        }
    }
    return std::nullopt;
}

SessionKeeper::Kept SessionKeeper::restore(const std::vector<token::flows::KeyIdentity>& found,
                                           token::KeyTable& table) const {
    Kept kept;
    std::vector<bool> matched(keys_.size(), false);
    const auto count = std::min<std::size_t>(found.size(), token::kMaxKeysFound);
    for (std::size_t index = 0; index < count; ++index) {
        const auto slot = static_cast<int32_t>(index);
        const std::optional<int32_t> before = rememberedSlotOf(found[index], matched);
        // What the certificate tree found at this slot belonged to the key that sat there before.
        token::CertPresence().clearKey(slot);
        if (!before) {
            kept.arrivedSlots.push_back(slot);
            continue;
        }
        kept.keptSlots.push_back(slot);
        restoreKey(keys_[*before], table.keys[slot], table.loginState[slot]);
        restoreCertificates(keys_[*before], slot);
        if (*before == currentKey_)
            kept.currentKey = slot;
    }
    return kept;
}

void SessionKeeper::restoreKey(const RememberedKey& key, token::TZartoInfo& record, int32_t& loginState) {
    // The scan read the key's information afresh; what it does not read (the login and the container list
    // the certificate tree was built from) comes back from before.
    loginState = std::max(loginState, key.loginState);
    record.containerCount = key.containerCount;
    record.containerNames = key.containerNames;
}

void SessionKeeper::rememberCertificates(int32_t slot, RememberedKey& key) {
    for (int32_t container = 0; container < token::kMaxContainers; ++container) {
        key.certificates[container] = {token::CertPresence().flag(slot, container, token::kExchangeSpec) != 0,
                                       token::CertPresence().flag(slot, container, token::kSignatureSpec) !=
                                           0};
    }
}

void SessionKeeper::restoreCertificates(const RememberedKey& key, int32_t slot) {
    for (int32_t container = 0; container < token::kMaxContainers; ++container) {
        token::CertPresence().set(slot, container, token::kExchangeSpec, key.certificates[container][0]);
        token::CertPresence().set(slot, container, token::kSignatureSpec, key.certificates[container][1]);
    }
}

} // namespace ui
