#include "user_pin_session.h"

#include "i18n/string_table.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "ui/message_service.h"
#include "ui/pin_edit.h"

#include <QLineEdit>

namespace ui {

bool userPinLocked(int32_t key) {
    return token::flows::userPinLocked(key);
}

bool userPinUsable(QWidget* owner, int32_t key) {
    if (token::keyTable().keys[key].initialised == 0) {
        messageService().inform(owner, i18n::text("Init_Info"));
        return false;
    }
    if (userPinLocked(key)) {
        messageService().inform(owner, i18n::text("K_Dead"));
        return false;
    }
    return true;
}

platform::SecretBytes pinBytes(const QLineEdit& field) {
    if (const auto* pinField = qobject_cast<const PinEdit*>(&field))
        return pinField->secret();
    return platform::SecretBytes(field.text().toLocal8Bit());
}

void logOutKey(int32_t key) {
    token::flows::logOutKey(key);
}

LoginOutcome logInKey(int32_t key, const platform::SecretBytes& pin) {
    return token::flows::logInUser(key, pin.c_str());
}

} // namespace ui
