#include "pin_fields.h"

#include "i18n/outcome_texts.h"
#include "ui/message_service.h"

#include <QLineEdit>
#include <algorithm>

namespace ui {

bool PinLimits::allow(qsizetype length) const {
    return length > 0 && length >= minimum && (maximum <= 0 || length <= maximum);
}

qsizetype pinCharacters(const QByteArray& pin) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    return std::ranges::count_if(pin,
                                 [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; });
}

PinLimits userPinLimits(const token::TZartoInfo& key) {
    return {key.minPinLength, key.maxPinLength};
}

PinLimits soPinLimits(const token::TZartoInfo& key) {
    return {key.minSoPinLength, key.maxSoPinLength};
}

bool pinLengthFits(QLineEdit& field, PinLimits limits, QWidget* owner) {
    if (limits.allow(field.text().size()))
        return true;
    messageService().inform(owner, i18n::pinLengthText(limits.minimum, limits.maximum));
    emptyUsedPins({&field});
    return false;
}

void emptyUsedPins(std::initializer_list<QLineEdit*> fields) {
    for (QLineEdit* field : fields)
        field->clear();
    if (fields.size() > 0)
        (*fields.begin())->setFocus();
}

} // namespace ui
