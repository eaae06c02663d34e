#include "pin_fields.h"

#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "token/flows/key_session.h"
#include "ui/message_service.h"
#include "ui/pin_edit.h"

#include <QLineEdit>

namespace ui {

bool PinLimits::allow(qsizetype length) const {
    return length > 0 && length >= minimum && (maximum <= 0 || length <= maximum);
}

PinLimits userPinLimits(const token::TZartoInfo& key) {
    return {key.minPinLength, key.maxPinLength};
}

PinLimits soPinLimits(const token::TZartoInfo& key) {
    return {key.minSoPinLength, key.maxSoPinLength};
}

bool pinLengthFits(QLineEdit& field, PinLimits limits, QWidget* owner) {
    // The key counts the bytes it receives, as the checks of a new PIN do.
    if (limits.allow(pinBytes(field).size()))
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

bool showPinFieldsForReader(std::initializer_list<QLineEdit*> fields) {
    const bool onReader = token::flows::pinsOnReader(token::keyTable().currentKey);
    const QString where = onReader ? i18n::text("K_PinOnReader") : QString();
    for (QLineEdit* field : fields) {
        field->setEnabled(!onReader);
        field->setPlaceholderText(where);
        field->setToolTip(where);
    }
    return onReader;
}

} // namespace ui
