#include "key_name_handler.h"

#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "key_info_view.h"
#include "platform/blank_trim.h"
#include "token/flows/set_key_label.h"
#include "token/key_table.h"
#include "ui/action_updater.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/key_name_page.h"

#include <QAction>
#include <QLineEdit>

namespace ui {

KeyNameHandler::KeyNameHandler(KeyNamePage& page, const MainActions& actions, ActionUpdater& updater,
                               KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), actions_(actions), runner_(runner) {
    setObjectName(QStringLiteral("keyNameHandler"));
    connect(actions.AcSetKeyName, &QAction::triggered, this, &KeyNameHandler::AcSetKeyNameExecute);
    updater.add(actions.AcSetKeyName, [this] { AcSetKeyNameUpdate(); });
}

void KeyNameHandler::AcSetKeyNameExecute() {
    const int32_t key = token::keyTable().currentKey;
    const QString label = platform::trimBlanksAndControls(page_.edtKeyName->text());
    runner_.run(
        [key, label] {
            LabelChange change;
            change.result = token::flows::setKeyLabel(key, label.toStdU16String(), change.code);
            return change;
        },
        [this, key, label](const LabelChange& change) {
            using token::flows::LabelResult;
            switch (change.result) {
            case LabelResult::UserPinLocked:
                messageService().inform(page_.window(), i18n::text("K_Dead"));
                return;
            case LabelResult::TooLong:
                page_.edtKeyName->setFocus();
                messageService().inform(page_.window(), i18n::text("K_Len_Error"));
                return;
            case LabelResult::Refused:
                messageService().inform(page_.window(),
                                        i18n::failureText(i18n::text("K_Set_No"), change.code));
                return;
            case LabelResult::Set:
                emit labelChanged(key, label);
                messageService().inform(page_.window(), i18n::text("K_Set_Yes"));
                return;
            }
        });
}

void KeyNameHandler::AcSetKeyNameUpdate() {
    actions_.AcSetKeyName->setEnabled(!page_.edtKeyName->text().isEmpty());
}

void KeyNameHandler::showCurrentLabel() {
    page_.edtKeyName->setText(keyLabel(token::keyTable().current()).trimmed());
}

} // namespace ui
