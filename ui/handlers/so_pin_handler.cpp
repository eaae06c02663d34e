#include "so_pin_handler.h"

#include "i18n/string_table.h"
#include "message_text.h"
#include "so_pin_checks.h"
#include "token/flows/change_so_pin.h"
#include "token/key_table.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/so_pin_page.h"
#include "user_pin_session.h"

#include <QAction>
#include <QLineEdit>

namespace ui {

namespace {

QString outcomeText(const token::flows::SoPinChangeOutcome& outcome) {
    using token::flows::SoPinChangeResult;
    switch (outcome.result) {
    case SoPinChangeResult::OldPinRefused:
        return refusedOldPinText(outcome.triesLeft);
    case SoPinChangeResult::ChangeFailed:
        return i18n::text("K_Set_No") + i18n::text("K_ErrorCODE_Str") + QStringLiteral(" 0x") +
               errorCodeHex(outcome.code);
    case SoPinChangeResult::Changed:
        break;
    }
    return i18n::text("Change_Yes");
}

} // namespace

SoPinHandler::SoPinHandler(TMainForm& form) : QObject(&form), form_(form) {
    connect(form.actions.AcSetSOPIN, &QAction::triggered, this, &SoPinHandler::AcSetSOPINExecute);
    form.addUpdateHandler(form.actions.AcSetSOPIN, [this] { AcSetSOPINUpdate(); });
}

void SoPinHandler::AcSetSOPINExecute() {
    const int32_t key = token::keyTable().currentKey;
    const SoPinPage& page = *form_.TabSheet9;
    if (!soPinWorkAllowed(&form_, key, *page.edtNewSPIN1, *page.edtNewSPIN2))
        return;
    const auto outcome =
        token::flows::changeSoPin(key, pinBytes(*page.edtSPIN).c_str(), pinBytes(*page.edtNewSPIN1).c_str());
    messageService().inform(&form_, outcomeText(outcome));
}

void SoPinHandler::AcSetSOPINUpdate() {
    const SoPinPage& page = *form_.TabSheet9;
    const int32_t minimum = token::keyTable().current().minSoPinLength;
    form_.actions.AcSetSOPIN->setEnabled(page.edtSPIN->text().size() >= minimum &&
                                         page.edtNewSPIN2->text().size() >= minimum);
}

} // namespace ui
