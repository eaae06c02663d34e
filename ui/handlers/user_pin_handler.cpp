#include "user_pin_handler.h"

#include "i18n/string_table.h"
#include "key_navigator.h"
#include "message_text.h"
#include "token/key_table.h"
#include "token/token_ops.h"
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
    logOutKey(key);
    // The old PIN is proven by a login first, so a wrong one costs a try and says how many are left.
    const LoginOutcome proof = logInKey(key, oldPin);
    if (proof.keyRemoved()) {
        form_.navigator->onKeyGone();
        return;
    }
    if (!proof.succeeded()) {
        messageService().inform(&form_, refusedOldPinText(proof.triesLeft));
        return;
    }
    logOutKey(key);
    const int32_t result = token::token_change_upin(key, oldPin.c_str(), newPin.c_str());
    if (result != 0) {
        reportRefusedChange(key, oldPin, result);
        return;
    }
    messageService().inform(&form_, i18n::text("K_Set_Yes"));
    emptyFields();
}

void UserPinHandler::reportRefusedChange(int32_t key, const platform::SecretBytes& oldPin,
                                         int32_t changeResult) {
    // A second login tells a refusal of the new PIN (the old one still works) from a key that no longer
    // accepts the old PIN. The login state stays "not logged in" either way.
    const LoginOutcome check = logInKey(key, oldPin);
    if (!check.succeeded()) {
        messageService().inform(&form_, refusedOldPinText(check.triesLeft));
        return;
    }
    messageService().inform(&form_, i18n::text("K_Set_No") + i18n::text("K_ErrorCODE_Str") +
                                        QStringLiteral(" = 0x") + errorCodeHex(changeResult));
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
