#include "key_table.h"

#include <cstring>

namespace token {

void TZartoInfo::clear() {
    std::memset(serial, 0, sizeof serial);
    std::memset(label, 0, sizeof label);
    std::memset(manufacturer, 0, sizeof manufacturer);
    std::memset(model, 0, sizeof model);
    maxPinLength = minPinLength = maxSoPinLength = minSoPinLength = 0;
    totalMemory = freeMemory = hardwareVersion = firmwareVersion = initialised = 0;
    containerCount = 0;
    for (auto& name : containerNames)
        name.clear();
}

KeyTable& keyTable() {
    static KeyTable table;
    return table;
}

} // namespace token
