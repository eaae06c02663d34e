#include "session_keeper.h"

#include <algorithm>

namespace ui {

void SessionKeeper::remember(const std::vector<token::flows::KeyIdentity>& shown, const token::KeyTable& table) {
    keys_.clear();
    const auto count = std::min<std::size_t>(shown.size(), token::kMaxKeysFound);
    for (std::size_t slot = 0; slot < count; ++slot) {
        const token::TZartoInfo& record = table.keys[slot];
        keys_.push_back({shown[slot], table.loginState[slot], record.containerCount, record.containerNames});
    }
    currentKey_ = table.currentKey;
}

std::optional<int32_t> SessionKeeper::rememberedSlotOf(const token::flows::KeyIdentity& identity) const {
    const auto found = std::ranges::find(keys_, identity, &RememberedKey::identity);
    if (found == keys_.end())
        return std::nullopt;
    return static_cast<int32_t>(found - keys_.begin());
}

SessionKeeper::Kept SessionKeeper::restore(const std::vector<token::flows::KeyIdentity>& found,
                                           token::KeyTable& table) const {
    Kept kept;
    const auto count = std::min<std::size_t>(found.size(), token::kMaxKeysFound);
    for (std::size_t index = 0; index < count; ++index) {
        const auto slot = static_cast<int32_t>(index);
        const std::optional<int32_t> before = rememberedSlotOf(found[index]);
        if (!before) {
            kept.arrivedSlots.push_back(slot);
            continue;
        }
        kept.keptSlots.push_back(slot);
        restoreKey(keys_[*before], table.keys[slot], table.loginState[slot]);
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

} // namespace ui
