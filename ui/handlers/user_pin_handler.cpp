#include "user_pin_handler.h"

#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "message_text.h"
#include "pin_check.h"
#include "token/flows/change_user_pin.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "ui/action_updater.h"
#include "ui/handlers/pin_fields.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/user_pin_page.h"
#include "ui/pin_edit.h"

#include <QAction>
#include <QLineEdit>

namespace ui {

namespace {

// The message of a change that did not happen; empty after a change or when the key is gone.
QString failureText(const token::flows::UserPinChangeOutcome& outcome, const token::TZartoInfo& record) {
    using token::flows::UserPinChangeResult;
    switch (outcome.result) {
    case UserPinChangeResult::NewPinLengthOutside:
        return i18n::newPinLengthText(record.minPinLength, record.maxPinLength);
    case UserPinChangeResult::OldPinRefused:
        return i18n::refusedOldPinText(outcome.triesLeft);
    case UserPinChangeResult::ChangeFailed:
        return i18n::failureText(i18n::text("K_Set_No") + i18n::text("K_ErrorCODE_Str") +
                                     QStringLiteral(" = 0x") + errorCodeHex(outcome.code),
                                 outcome.code);
    case UserPinChangeResult::KeyRemoved:
    case UserPinChangeResult::Changed:
        break;
    }
    return {};
}

} // namespace

UserPinHandler::UserPinHandler(UserPinPage& page, const MainActions& actions, ActionUpdater& updater,
                               KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), actions_(actions), runner_(runner) {
    setObjectName(QStringLiteral("userPinHandler"));
    connect(actions.AcSetUserPIN, &QAction::triggered, this, &UserPinHandler::AcSetUserPINExecute);
    updater.add(actions.AcSetUserPIN, [this] { AcSetUserPINUpdate(); });
}

void UserPinHandler::AcSetUserPINExecute() {
    const int32_t key = token::keyTable().currentKey;
    if (token::flows::pinsOnReader(key)) {
        whenPinUsable(runner_, key, token::PinType::User, page_.window(), [this, key] { changePin(key); });
        return;
    }
    if (!pinLengthFits(*page_.edtOldUPin, userPinLimits(token::keyTable().keys[key]), page_.window()))
        return;
    whenPinUsable(runner_, key, token::PinType::User, page_.window(), [this, key] {
        if (!(pinBytes(*page_.edtNewUPin1) == pinBytes(*page_.edtNewUPin2)))
            messageService().inform(page_.window(), i18n::text("S_PIN_equal"));
        else
            changePin(key);
    });
}

void UserPinHandler::changePin(int32_t key) {
    const bool onReader = token::flows::pinsOnReader(key);
    const platform::SecretBytes oldPin = pinBytes(*page_.edtOldUPin);
    const platform::SecretBytes newPin = pinBytes(*page_.edtNewUPin1);
    runner_.run(
        [key, oldPin, newPin, onReader] {
            return token::flows::changeUserPin(key, token::flows::pinOrReader(oldPin.c_str(), onReader),
                                               token::flows::pinOrReader(newPin.c_str(), onReader));
        },
        [this, key](const token::flows::UserPinChangeOutcome& outcome) { finishChange(key, outcome); });
}

void UserPinHandler::finishChange(int32_t key, const token::flows::UserPinChangeOutcome& outcome) {
    // A new PIN the key cannot take is refused before the old one is tried; any other outcome used the PINs.
    if (outcome.result != token::flows::UserPinChangeResult::NewPinLengthOutside)
        emptyFields();
    if (outcome.result == token::flows::UserPinChangeResult::KeyRemoved) {
        messageService().inform(page_.window(), i18n::text("K_Key_Removed"));
        emit keyGone();
        return;
    }
    if (outcome.result != token::flows::UserPinChangeResult::Changed) {
        messageService().inform(page_.window(), failureText(outcome, token::keyTable().keys[key]));
        return;
    }
    messageService().inform(page_.window(), i18n::text("K_Set_Yes"));
}

void UserPinHandler::emptyFields() {
    emptyUsedPins({page_.edtOldUPin, page_.edtNewUPin1, page_.edtNewUPin2});
}

void UserPinHandler::AcSetUserPINUpdate() {
    if (showPinFieldsForReader({page_.edtOldUPin, page_.edtNewUPin1, page_.edtNewUPin2})) {
        actions_.AcSetUserPIN->setEnabled(true);
        return;
    }
    const int32_t minimum = token::keyTable().current().minPinLength;
    const bool longEnough = page_.edtOldUPin->text().size() >= minimum &&
                            page_.edtNewUPin1->text().size() >= minimum &&
                            page_.edtNewUPin2->text().size() >= minimum;
    actions_.AcSetUserPIN->setEnabled(longEnough);
}

} // namespace ui
