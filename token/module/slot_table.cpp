#include "slot_table.h"

#include "module_error.h"

#include <algorithm>

namespace quillard::module {

void SlotTable::rescan(SoftkeyDriver& driver) {
    std::vector<std::string> serials;
    require(driver.find(serials));
    if (scanned_) {
        for (const std::string& serial : serials)
            if (!isPlugged(serial))
                events_.push_back(idOf(serial));
        for (const std::string& serial : plugged_)
            if (std::find(serials.begin(), serials.end(), serial) == serials.end())
                events_.push_back(idOf(serial));
    }
    for (const std::string& serial : serials)
        idOf(serial);
    plugged_ = std::move(serials);
    scanned_ = true;
}

std::vector<CK_SLOT_ID> SlotTable::slots() const {
    std::vector<CK_SLOT_ID> slots;
    for (const std::string& serial : plugged_)
        slots.push_back(ids_.at(serial));
    return slots;
}

const std::string& SlotTable::serialOf(CK_SLOT_ID slot) const {
    for (const std::string& serial : plugged_)
        if (ids_.at(serial) == slot)
            return serial;
    fail(CKR_SLOT_ID_INVALID);
}

int32_t SlotTable::indexOf(const std::string& serial) const {
    auto found = std::find(plugged_.begin(), plugged_.end(), serial);
    if (found == plugged_.end())
        fail(CKR_DEVICE_REMOVED);
    return static_cast<int32_t>(found - plugged_.begin());
}

bool SlotTable::isPlugged(const std::string& serial) const {
    return std::find(plugged_.begin(), plugged_.end(), serial) != plugged_.end();
}

std::optional<CK_SLOT_ID> SlotTable::takeEvent() {
    if (events_.empty())
        return std::nullopt;
    CK_SLOT_ID slot = events_.front();
    events_.pop_front();
    return slot;
}

CK_SLOT_ID SlotTable::idOf(const std::string& serial) {
    auto found = ids_.find(serial);
    if (found == ids_.end())
        found = ids_.emplace(serial, nextId_++).first;
    return found->second;
}

} // namespace quillard::module
