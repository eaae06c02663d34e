#include "login_handler.h"

#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "key_info_view.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "ui/action_updater.h"
#include "ui/handlers/pin_fields.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/page_stack.h"
#include "ui/pages/login_page.h"
#include "ui/pin_edit.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>

namespace ui {

LoginHandler::LoginHandler(LoginPage& page, const MainActions& actions, ActionUpdater& updater,
                           PageStack& pages, KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), actions_(actions), pages_(pages), runner_(runner) {
    setObjectName(QStringLiteral("loginHandler"));
    connect(actions.AcLogin, &QAction::triggered, this, &LoginHandler::AcLoginExecute);
    connect(actions.AcCancel, &QAction::triggered, this, &LoginHandler::AcCancelExecute);
    connect(actions.Aclogout, &QAction::triggered, this, &LoginHandler::AclogoutExecute);
    updater.add(actions.AcLogin, [this] { AcLoginUpdate(); });
}

void LoginHandler::AcLoginExecute() {
    const int32_t key = token::keyTable().currentKey;
    // On a PIN-pad reader the library is called without a PIN and the reader asks for it.
    const bool onReader = pinOnReader();
    // Enter runs the login even while the button is disabled: a PIN the key cannot take stops here.
    if (!onReader &&
        !pinLengthFits(*page_.edtUPIN, userPinLimits(token::keyTable().keys[key]), page_.window()))
        return;
    const platform::SecretBytes pin = pinBytes(*page_.edtUPIN);
    emptyUsedPins({page_.edtUPIN});
    runner_.run(
        [key, pin, onReader] { return token::flows::openUserSession(key, onReader ? nullptr : pin.c_str()); },
        [this, key](const token::flows::UserSession& session) { finishLogin(key, session); });
}

void LoginHandler::finishLogin(int32_t key, const token::flows::UserSession& session) {
    if (session.opened()) {
        const WaitCursor hourglass;
        pages_.show(PageCertificates);
        emit loggedIn(key);
    } else if (session.check != token::flows::PinCheck::Usable) {
        messageService().inform(page_.window(), i18n::pinCheckText(session.check));
    } else if (session.login.keyRemoved()) {
        messageService().inform(page_.window(), i18n::text("K_Key_Removed"));
        emit keyGone();
    } else {
        messageService().inform(page_.window(), i18n::refusedLoginText(session.login.triesLeft));
    }
}

bool LoginHandler::pinOnReader() {
    return token::flows::pinsOnReader(token::keyTable().currentKey);
}

void LoginHandler::AcLoginUpdate() {
    if (pinOnReader()) {
        actions_.AcLogin->setEnabled(true);
        return;
    }
    QLineEdit* pinField = page_.edtUPIN;
    const qsizetype typed = pinField->text().size();
    actions_.AcLogin->setEnabled(typed >= token::keyTable().current().minPinLength);
    if (typed == 0)
        pinField->setFocus();
}

void LoginHandler::AcCancelExecute() {
    page_.edtUPIN->clear();
}

void LoginHandler::AclogoutExecute() {
    const int32_t key = token::keyTable().currentKey;
    runner_.run(
        [key] {
            token::flows::logOutKey(key);
            return true;
        },
        [this](bool) {
            // A PIN left in the field would let anyone log back in with Enter.
            page_.edtUPIN->clear();
            pages_.show(PageLogin);
        });
}

void LoginHandler::showPinEntry() {
    // A PIN-pad reader takes no typed PIN: the field says where to enter it instead.
    showPinFieldsForReader({page_.edtUPIN});
}

void LoginHandler::showKeyName() {
    showPinEntry();
    QLabel* keyName = page_.Lkeyname;
    // The label comes from the key: it is shown as it stands, never read as markup.
    keyName->setTextFormat(Qt::PlainText);
    keyName->setText(keyLabel(token::keyTable().current()));
}

void LoginHandler::forgetPin() {
    page_.edtUPIN->clear();
}

} // namespace ui
