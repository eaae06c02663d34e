// The module's slots: one per plugged virtual key. A key keeps its slot id for as long as the module is
// initialised, also when it is unplugged and plugged again, so a caller's slot id never points at another
// key. Each rescan notes the slots whose key appeared or went as events for C_WaitForSlotEvent.
#pragma once

#include "token/lib/softkey/softkey_driver.h"

#include <p11-kit/pkcs11.h>

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillard::module {

class SlotTable {
public:
    // Lists the plugged keys again. The first rescan sets the starting point and notes no events.
    void rescan(SoftkeyDriver& driver);

    // The slots of the plugged keys, in the keys' order.
    std::vector<CK_SLOT_ID> slots() const;
    // The serial of a plugged key's slot; throws ModuleError(CKR_SLOT_ID_INVALID) for another slot id.
    const std::string& serialOf(CK_SLOT_ID slot) const;
    // The driver's index of the key `serial`, as of the last rescan; CKR_DEVICE_REMOVED when it is gone.
    int32_t indexOf(const std::string& serial) const;
    bool isPlugged(const std::string& serial) const;

    // The oldest event not yet taken.
    std::optional<CK_SLOT_ID> takeEvent();

private:
    CK_SLOT_ID idOf(const std::string& serial);

    std::map<std::string, CK_SLOT_ID> ids_;
    CK_SLOT_ID nextId_ = 1;
    std::vector<std::string> plugged_; // the driver's order
    std::deque<CK_SLOT_ID> events_;
    bool scanned_ = false;
};

} // namespace quillard::module
