#include "user_pin_handler.h"

#include "i18n/string_table.h"
#include "key_navigator.h"
#include "message_text.h"
#include "token/flows/change_user_pin.h"
#include "token/key_table.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/user_pin_page.h"
#include "user_pin_session.h"

#include <QAction>
#include <QLineEdit>

namespace ui {

UserPinHandler::UserPinHandler(TMainForm& form) : QObject(&form), form_(form) {
    connect(form.actions.AcSetUserPIN, &QAction::triggered, this, &UserPinHandler::AcSetUserPINExecute);
    form.addUpdateHandler(form.actions.AcSetUserPIN, [this] { AcSetUserPINUpdate(); });
}

void UserPinHandler::AcSetUserPINExecute() {
    const int32_t key = token::keyTable().currentKey;
    if (!userPinUsable(&form_, key))
        return;
    const UserPinPage& page = *form_.TabSheet2;
    if (!(pinBytes(*page.edtNewUPin1) == pinBytes(*page.edtNewUPin2))) {
        messageService().inform(&form_, i18n::text("S_PIN_equal"));
        return;
    }
    const platform::SecretBytes newPin = pinBytes(*page.edtNewUPin1);
    if (const QString problem = newPinProblem(newPin); !problem.isEmpty()) {
        messageService().inform(&form_, problem);
        return;
    }
    changePin(key, pinBytes(*page.edtOldUPin), newPin);
}

QString UserPinHandler::newPinProblem(const platform::SecretBytes& newPin) const {
    const token::TZartoInfo& record = token::keyTable().current();
    if (newPin.size() >= record.minPinLength && newPin.size() <= record.maxPinLength)
        return {};
    return i18n::text("UPIN_E2") +
           QStringLiteral("(%1--%2)")
               .arg(QString::number(record.minPinLength), QString::number(record.maxPinLength));
}

void UserPinHandler::changePin(int32_t key, const platform::SecretBytes& oldPin,
                               const platform::SecretBytes& newPin) {
    using token::flows::UserPinChangeResult;
    const auto outcome = token::flows::changeUserPin(key, oldPin.c_str(), newPin.c_str());
    switch (outcome.result) {
    case UserPinChangeResult::KeyRemoved:
        form_.navigator->onKeyGone();
        return;
    case UserPinChangeResult::OldPinRefused:
        messageService().inform(&form_, refusedOldPinText(outcome.triesLeft));
        return;
    case UserPinChangeResult::ChangeFailed:
        messageService().inform(&form_, i18n::text("K_Set_No") + i18n::text("K_ErrorCODE_Str") +
                                            QStringLiteral(" = 0x") + errorCodeHex(outcome.code));
        return;
    case UserPinChangeResult::Changed:
        break;
    }
    messageService().inform(&form_, i18n::text("K_Set_Yes"));
    emptyFields();
}

void UserPinHandler::emptyFields() {
    const UserPinPage& page = *form_.TabSheet2;
    page.edtOldUPin->clear();
    page.edtNewUPin1->clear();
    page.edtNewUPin2->clear();
}

void UserPinHandler::AcSetUserPINUpdate() {
    const UserPinPage& page = *form_.TabSheet2;
    const int32_t minimum = token::keyTable().current().minPinLength;
    const bool longEnough = page.edtOldUPin->text().size() >= minimum &&
                            page.edtNewUPin1->text().size() >= minimum &&
                            page.edtNewUPin2->text().size() >= minimum;
    form_.actions.AcSetUserPIN->setEnabled(longEnough);
}

} // namespace ui
