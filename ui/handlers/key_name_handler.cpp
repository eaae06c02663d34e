#include "key_name_handler.h"

#include "i18n/string_table.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/key_name_page.h"
#include "user_pin_session.h"

#include <QAction>
#include <QLineEdit>
#include <QTreeWidget>
#include <cstring>

namespace ui {

namespace {

constexpr int kKeyListNode = 0;
// The part of the record's label field that a label change rewrites.
constexpr std::size_t kLabelBufferSize = 64;

bool isBlankOrControl(QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Control;
}

} // namespace

QString trimBlanksAndControls(const QString& text) {
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && isBlankOrControl(text[first]))
        ++first;
    while (end > first && isBlankOrControl(text[end - 1]))
        --end;
    return text.sliced(first, end - first);
}

KeyNameHandler::KeyNameHandler(TMainForm& form) : QObject(&form), form_(form) {
    connect(form.actions.AcSetKeyName, &QAction::triggered, this, &KeyNameHandler::AcSetKeyNameExecute);
    form.addUpdateHandler(form.actions.AcSetKeyName, [this] { AcSetKeyNameUpdate(); });
}

void KeyNameHandler::AcSetKeyNameExecute() {
    const int32_t key = token::keyTable().currentKey;
    if (userPinLocked(key)) {
        messageService().inform(&form_, i18n::text("K_Dead"));
        return;
    }
    QLineEdit* nameField = form_.TabSheet3->edtKeyName;
    const QString label = trimBlanksAndControls(nameField->text());
    const QByteArray utf8 = label.toUtf8();
    if (utf8.size() > kLongestLabel) {
        nameField->setFocus();
        messageService().inform(&form_, i18n::text("K_Len_Error"));
        return;
    }
    if (token::token_set_label(key, label.toStdU16String()) != 0) {
        messageService().inform(&form_, i18n::text("K_Set_No"));
        return;
    }
    showNewLabel(label, utf8);
}

void KeyNameHandler::showNewLabel(const QString& label, const QByteArray& utf8) {
    token::KeyTable& table = token::keyTable();
    char* recordLabel = table.current().label;
    std::memset(recordLabel, 0, kLabelBufferSize);
    std::memcpy(recordLabel, utf8.constData(), static_cast<std::size_t>(utf8.size()));
    // The key's node is the key list's child at the current key's position: the node whose selection made
    // this key current. (Taking the selected node itself when it is a top-level node would rename the key
    // list or another top-level node.)
    QTreeWidgetItem* keyList = form_.tv->topLevelItem(kKeyListNode);
    if (QTreeWidgetItem* keyNode = keyList ? keyList->child(table.currentKey) : nullptr)
        keyNode->setText(0, label);
}

void KeyNameHandler::AcSetKeyNameUpdate() {
    form_.actions.AcSetKeyName->setEnabled(!form_.TabSheet3->edtKeyName->text().isEmpty());
}

} // namespace ui
