// What a rescan after a device event lets the window keep. Before the scan it remembers which key each slot
// held, the login states, the current key and the container lists read for the keys; after the scan it finds
// each key that stayed plugged in its new slot and gives it back its login state and containers, and tells
// the keys that stayed from the keys that arrived. The certificates found per container move with their key.
// A key that is gone loses its login with its slot.
#pragma once

#include "token/flows/key_rescan.h"
#include "token/key_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class SessionKeeper {
public:
    // What the rescan kept.
    struct Kept {
        std::optional<int32_t> currentKey; // the new slot of the current key, when it stayed plugged
        std::vector<int32_t> keptSlots;    // the slots of the keys that stayed plugged, new numbering
        std::vector<int32_t> arrivedSlots; // the slots of the keys the rescan found for the first time
    };

    // Remembers the keys `shown` by the last scan (one identity per slot) as the key table holds them now.
    void remember(const std::vector<token::flows::KeyIdentity>& shown, const token::KeyTable& table);
    // Matches the keys `found` by the rescan with those remembered and restores, in `table`, the login state
    // and the container list of every key that stayed.
    Kept restore(const std::vector<token::flows::KeyIdentity>& found, token::KeyTable& table) const;

private:
    struct RememberedKey {
        token::flows::KeyIdentity identity;
        int32_t loginState = token::NoKey;
        int32_t containerCount = 0;
        std::array<std::string, token::kMaxContainers> containerNames;
        // The certificates the last certificate tree build found, per container: exchange, signature.
        std::array<std::array<bool, 2>, token::kMaxContainers> certificates{};
    };
    // The first remembered key of `identity` not `matched` yet, which it then marks.
    std::optional<int32_t> rememberedSlotOf(const token::flows::KeyIdentity& identity,
                                            std::vector<bool>& matched) const;
    static void restoreKey(const RememberedKey& key, token::TZartoInfo& record, int32_t& loginState);
    static void rememberCertificates(int32_t slot, RememberedKey& key);
    static void restoreCertificates(const RememberedKey& key, int32_t slot);

    std::vector<RememberedKey> keys_;
    int32_t currentKey_ = -1;
};

} // namespace ui
