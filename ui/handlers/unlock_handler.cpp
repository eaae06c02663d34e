#include "unlock_handler.h"

#include "i18n/string_table.h"
#include "so_pin_checks.h"
#include "token/flows/unlock_user_pin.h"
#include "token/key_table.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/unlock_page.h"
#include "user_pin_session.h"

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

UnlockHandler::UnlockHandler(TMainForm& form) : QObject(&form), form_(form) {
    connect(form.actions.AcUnlock, &QAction::triggered, this, &UnlockHandler::AcUnlockExecute);
    form.addUpdateHandler(form.actions.AcUnlock, [this] { AcUnlockUpdate(); });
}

void UnlockHandler::AcUnlockExecute() {
    const int32_t key = token::keyTable().currentKey;
    const UnlockPage& page = *form_.TabSheet10;
    if (!soPinWorkAllowed(&form_, key, *page.edtUPINForUnlock1, *page.edtUPINForUnlock2))
        return;
    const auto outcome = token::flows::unlockUserPin(key, pinBytes(*page.edtSPINForUnLock).c_str(),
                                                     pinBytes(*page.edtUPINForUnlock1).c_str());
    messageService().inform(&form_, i18n::text(outcomeTextKey(outcome.result)));
}

void UnlockHandler::AcUnlockUpdate() {
    const UnlockPage& page = *form_.TabSheet10;
    const token::TZartoInfo& record = token::keyTable().current();
    form_.actions.AcUnlock->setEnabled(page.edtSPINForUnLock->text().size() >= record.minSoPinLength &&
                                       page.edtUPINForUnlock1->text().size() >= record.minPinLength &&
                                       page.edtUPINForUnlock2->text().size() >= record.minPinLength);
}

} // namespace ui
