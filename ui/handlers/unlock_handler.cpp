#include "unlock_handler.h"

#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "pin_check.h"
#include "token/flows/key_session.h"
#include "token/flows/unlock_user_pin.h"
#include "token/key_table.h"
#include "ui/action_updater.h"
#include "ui/handlers/pin_fields.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/unlock_page.h"
#include "ui/pin_edit.h"

#include <QAction>
#include <QLineEdit>

namespace ui {

namespace {

const char* outcomeTextKey(token::flows::UnlockResult result) {
    switch (result) {
    case token::flows::UnlockResult::SoPinRefused:
        return "SOPIN_Error";
    case token::flows::UnlockResult::Failed:
        return "Change_No";
    case token::flows::UnlockResult::Unlocked:
        break;
    }
    return "Change_Yes";
}

} // namespace

UnlockHandler::UnlockHandler(UnlockPage& page, const MainActions& actions, ActionUpdater& updater,
                             KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), actions_(actions), runner_(runner) {
    setObjectName(QStringLiteral("unlockHandler"));
    connect(actions.AcUnlock, &QAction::triggered, this, &UnlockHandler::AcUnlockExecute);
    updater.add(actions.AcUnlock, [this] { AcUnlockUpdate(); });
}

void UnlockHandler::AcUnlockExecute() {
    const int32_t key = token::keyTable().currentKey;
    if (token::flows::pinsOnReader(key)) {
        whenPinUsable(runner_, key, token::PinType::So, page_.window(), [this, key] { unlock(key); });
        return;
    }
    if (!pinLengthFits(*page_.edtSPINForUnLock, soPinLimits(token::keyTable().keys[key]), page_.window()))
        return;
    if (!(pinBytes(*page_.edtUPINForUnlock1) == pinBytes(*page_.edtUPINForUnlock2))) {
        messageService().inform(page_.window(), i18n::text("S_PIN_equal"));
        return;
    }
    whenPinUsable(runner_, key, token::PinType::So, page_.window(), [this, key] { unlock(key); });
}

void UnlockHandler::unlock(int32_t key) {
    const bool onReader = token::flows::pinsOnReader(key);
    const platform::SecretBytes soPin = pinBytes(*page_.edtSPINForUnLock);
    const platform::SecretBytes newPin = pinBytes(*page_.edtUPINForUnlock1);
    emptyUsedPins({page_.edtSPINForUnLock, page_.edtUPINForUnlock1, page_.edtUPINForUnlock2});
    runner_.run(
        [key, soPin, newPin, onReader] {
            return token::flows::unlockUserPin(key, token::flows::pinOrReader(soPin.c_str(), onReader),
                                               token::flows::pinOrReader(newPin.c_str(), onReader));
        },
        [this](const token::flows::UnlockOutcome& outcome) {
            messageService().inform(
                page_.window(), i18n::failureText(i18n::text(outcomeTextKey(outcome.result)), outcome.code));
        });
}

void UnlockHandler::AcUnlockUpdate() {
    if (showPinFieldsForReader({page_.edtSPINForUnLock, page_.edtUPINForUnlock1, page_.edtUPINForUnlock2})) {
        actions_.AcUnlock->setEnabled(true);
        return;
    }
    const token::TZartoInfo& record = token::keyTable().current();
    actions_.AcUnlock->setEnabled(page_.edtSPINForUnLock->text().size() >= record.minSoPinLength &&
                                  page_.edtUPINForUnlock1->text().size() >= record.minPinLength &&
                                  page_.edtUPINForUnlock2->text().size() >= record.minPinLength);
}

} // namespace ui
