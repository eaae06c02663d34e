#include "key_name_handler.h"

#include "i18n/string_table.h"
#include "platform/blank_trim.h"
#include "token/flows/set_key_label.h"
#include "token/key_table.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/key_name_page.h"

#include <QAction>
#include <QLineEdit>
#include <QTreeWidget>

namespace ui {

namespace {

constexpr int kKeyListNode = 0;

} // namespace

KeyNameHandler::KeyNameHandler(TMainForm& form) : QObject(&form), form_(form) {
    connect(form.actions.AcSetKeyName, &QAction::triggered, this, &KeyNameHandler::AcSetKeyNameExecute);
    form.addUpdateHandler(form.actions.AcSetKeyName, [this] { AcSetKeyNameUpdate(); });
}

void KeyNameHandler::AcSetKeyNameExecute() {
    using token::flows::LabelResult;
    QLineEdit* nameField = form_.TabSheet3->edtKeyName;
    const QString label = platform::trimBlanksAndControls(nameField->text());
    switch (token::flows::setKeyLabel(token::keyTable().currentKey, label.toStdU16String())) {
    case LabelResult::UserPinLocked:
        messageService().inform(&form_, i18n::text("K_Dead"));
        return;
    case LabelResult::TooLong:
        nameField->setFocus();
        messageService().inform(&form_, i18n::text("K_Len_Error"));
        return;
    case LabelResult::Refused:
        messageService().inform(&form_, i18n::text("K_Set_No"));
        return;
    case LabelResult::Set:
        break;
    }
    showNewLabel(label);
}

void KeyNameHandler::showNewLabel(const QString& label) {
    // The key's node is the key list's child at the current key's position: the node whose selection made
    // this key current. (Taking the selected node itself when it is a top-level node would rename the key
    // list or another top-level node.)
    QTreeWidgetItem* keyList = form_.tv->topLevelItem(kKeyListNode);
    if (QTreeWidgetItem* keyNode = keyList ? keyList->child(token::keyTable().currentKey) : nullptr)
        keyNode->setText(0, label);
}

void KeyNameHandler::AcSetKeyNameUpdate() {
    form_.actions.AcSetKeyName->setEnabled(!form_.TabSheet3->edtKeyName->text().isEmpty());
}

} // namespace ui
