#include "so_pin_handler.h"

#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "message_text.h"
#include "pin_check.h"
#include "token/flows/change_so_pin.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "ui/action_updater.h"
#include "ui/handlers/pin_fields.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/so_pin_page.h"
#include "ui/pin_edit.h"

#include <QAction>
#include <QLineEdit>

namespace ui {

namespace {

QString outcomeText(const token::flows::SoPinChangeOutcome& outcome) {
    using token::flows::SoPinChangeResult;
    switch (outcome.result) {
    case SoPinChangeResult::OldPinRefused:
        return i18n::refusedOldPinText(outcome.triesLeft);
    case SoPinChangeResult::ChangeFailed:
        return i18n::failureText(i18n::text("K_Set_No") + i18n::text("K_ErrorCODE_Str") +
                                     QStringLiteral(" 0x") + errorCodeHex(outcome.code),
                                 outcome.code);
    case SoPinChangeResult::Changed:
        break;
    }
    return i18n::text("Change_Yes");
}

} // namespace

SoPinHandler::SoPinHandler(SoPinPage& page, const MainActions& actions, ActionUpdater& updater,
                           KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), actions_(actions), runner_(runner) {
    setObjectName(QStringLiteral("soPinHandler"));
    connect(actions.AcSetSOPIN, &QAction::triggered, this, &SoPinHandler::AcSetSOPINExecute);
    updater.add(actions.AcSetSOPIN, [this] { AcSetSOPINUpdate(); });
}

void SoPinHandler::AcSetSOPINExecute() {
    const int32_t key = token::keyTable().currentKey;
    if (token::flows::pinsOnReader(key)) {
        whenPinUsable(runner_, key, token::PinType::So, page_.window(), [this, key] { changePin(key); });
        return;
    }
    if (!pinLengthFits(*page_.edtSPIN, soPinLimits(token::keyTable().keys[key]), page_.window()))
        return;
    if (!(pinBytes(*page_.edtNewSPIN1) == pinBytes(*page_.edtNewSPIN2))) {
        messageService().inform(page_.window(), i18n::text("S_PIN_equal"));
        return;
    }
    whenPinUsable(runner_, key, token::PinType::So, page_.window(), [this, key] { changePin(key); });
}

void SoPinHandler::changePin(int32_t key) {
    const bool onReader = token::flows::pinsOnReader(key);
    const platform::SecretBytes oldPin = pinBytes(*page_.edtSPIN);
    const platform::SecretBytes newPin = pinBytes(*page_.edtNewSPIN1);
    emptyUsedPins({page_.edtSPIN, page_.edtNewSPIN1, page_.edtNewSPIN2});
    runner_.run(
        [key, oldPin, newPin, onReader] {
            return token::flows::changeSoPin(key, token::flows::pinOrReader(oldPin.c_str(), onReader),
                                             token::flows::pinOrReader(newPin.c_str(), onReader));
        },
        [this](const token::flows::SoPinChangeOutcome& outcome) {
            messageService().inform(page_.window(), outcomeText(outcome));
        });
}

void SoPinHandler::AcSetSOPINUpdate() {
    if (showPinFieldsForReader({page_.edtSPIN, page_.edtNewSPIN1, page_.edtNewSPIN2})) {
        actions_.AcSetSOPIN->setEnabled(true);
        return;
    }
    const int32_t minimum = token::keyTable().current().minSoPinLength;
    actions_.AcSetSOPIN->setEnabled(page_.edtSPIN->text().size() >= minimum &&
                                    page_.edtNewSPIN2->text().size() >= minimum);
}

} // namespace ui
