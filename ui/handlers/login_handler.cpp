#include "login_handler.h"

#include "i18n/string_table.h"
#include "key_navigator.h"
#include "message_text.h"
#include "token/flows/user_login.h"
#include "token/key_table.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/login_page.h"
#include "ui/wait_cursor.h"
#include "user_pin_session.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

namespace ui {

namespace {

// Positions in the navigation tree: the key list among the top-level nodes, the administration node under a
// key and the initialisation node under the administration node.
constexpr int kKeyListNode = 0;
constexpr int kAdministrationNode = 3;
constexpr int kInitialisationNode = 0;

} // namespace

LoginHandler::LoginHandler(TMainForm& form) : QObject(&form), form_(form) {
    const MainActions& actions = form.actions;
    connect(actions.AcLogin, &QAction::triggered, this, &LoginHandler::AcLoginExecute);
    connect(actions.AcCancel, &QAction::triggered, this, &LoginHandler::AcCancelExecute);
    connect(actions.Aclogout, &QAction::triggered, this, &LoginHandler::AclogoutExecute);
    form.addUpdateHandler(actions.AcLogin, [this] { AcLoginUpdate(); });
}

void LoginHandler::AcLoginExecute() {
    const int32_t key = token::keyTable().currentKey;
    if (!userPinUsable(&form_, key))
        return;
    logOutKey(key);
    const LoginOutcome outcome = logInKey(key, pinBytes(*form_.TabSheet4->edtUPIN));
    if (outcome.succeeded())
        showLoggedIn(key);
    else if (outcome.keyRemoved())
        form_.navigator->onKeyGone();
    else
        messageService().inform(&form_, refusedLoginText(outcome.triesLeft));
}

void LoginHandler::showLoggedIn(int32_t key) {
    const WaitCursor waitCursor;
    token::flows::enterUserSession(key);
    form_.RPC->setCurrentIndex(PageCertificates);
    form_.BuildCertTree(key);
    form_.UpdateCertActions();
}

void LoginHandler::AcLoginUpdate() {
    QLineEdit* pinField = form_.TabSheet4->edtUPIN;
    const qsizetype typed = pinField->text().size();
    form_.actions.AcLogin->setEnabled(typed >= token::keyTable().current().minPinLength);
    if (typed == 0)
        pinField->setFocus();
}

void LoginHandler::AcCancelExecute() {
    form_.TabSheet4->edtUPIN->clear();
}

void LoginHandler::AclogoutExecute() {
    logOutKey(token::keyTable().currentKey);
    // A PIN left in the field would let anyone log back in with Enter.
    form_.TabSheet4->edtUPIN->clear();
    form_.RPC->setCurrentIndex(PageLogin);
}

void LoginHandler::TCheckInitTimer() {
    // Each start of the timer gives exactly one check.
    form_.TCheckInit->stop();
    const token::KeyTable& table = token::keyTable();
    const int32_t keyCount = std::clamp(table.keyCount, 0, token::kMaxKeysFound);
    for (int32_t slot = 0; slot < keyCount; ++slot) {
        // A slot still at "no key" was not read by the last scan (its information read failed): its zeroed
        // record says nothing about the key, so it is not taken for an uninitialised key.
        if (table.loginState[slot] == token::NoKey || table.keys[slot].initialised != 0)
            continue;
        messageService().inform(&form_, i18n::text("Init_Info"));
        // Selecting the node runs the tree's selection handler, which shows the initialisation page for
        // this key.
        if (QTreeWidgetItem* node = initialisationNode(slot))
            form_.tv->setCurrentItem(node);
        return;
    }
}

QTreeWidgetItem* LoginHandler::initialisationNode(int32_t slot) const {
    QTreeWidgetItem* keyList = form_.tv->topLevelItem(kKeyListNode);
    QTreeWidgetItem* keyNode = keyList ? keyList->child(slot) : nullptr;
    QTreeWidgetItem* administration = keyNode ? keyNode->child(kAdministrationNode) : nullptr;
    return administration ? administration->child(kInitialisationNode) : nullptr;
}

} // namespace ui
