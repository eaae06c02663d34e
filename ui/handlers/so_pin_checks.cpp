#include "so_pin_checks.h"

#include "i18n/string_table.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "ui/message_service.h"
#include "user_pin_session.h"

namespace ui {

bool soPinWorkAllowed(QWidget* owner, int32_t key, const QLineEdit& newPin, const QLineEdit& confirmation) {
    if (!(pinBytes(newPin) == pinBytes(confirmation))) {
        messageService().inform(owner, i18n::text("S_PIN_equal"));
        return false;
    }
    if (token::keyTable().keys[key].initialised == 0) {
        messageService().inform(owner, i18n::text("Init_Info"));
        return false;
    }
    if (token::flows::soPinLocked(key)) {
        messageService().inform(owner, i18n::text("K_Dead"));
        return false;
    }
    return true;
}

} // namespace ui
