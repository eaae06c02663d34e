#include "token_limits_handler.h"

#include "i18n/string_table.h"
#include "token/key_table.h"
#include "ui/action_updater.h"
#include "ui/main_actions.h"

#include <QAction>
#include <QWidget>

namespace ui {

namespace {

bool currentKeyHas(int32_t flag) {
    const token::KeyTable& table = token::keyTable();
    return table.keyCount > 0 && table.hasFlag(table.currentKey, flag);
}

} // namespace

TokenLimitsHandler::TokenLimitsHandler(const MainActions& actions, QWidget* installButton,
                                       ActionUpdater& updater, QObject* parent)
    : QObject(parent) {
    setObjectName(QStringLiteral("tokenLimits"));
    for (QAction* write :
         {actions.AcSetUserPIN, actions.AcSetKeyName, actions.AcDelCert, actions.AcDel, actions.AcInputCert,
          actions.AcInit, actions.AcSetSOPIN, actions.AcUnlock, actions.AcDownISO}) {
        ownToolTips_.insert(write, write->toolTip());
        updater.add(write, [this, write] { limitWrite(write); });
    }
    // Nothing else decides whether an import may start: it is enabled again on a key that takes writes.
    updater.add(actions.AcInputCert, [import = actions.AcInputCert] {
        if (!currentKeyHas(QUILLARD_TOKEN_WRITE_PROTECTED))
            import->setEnabled(true);
    });
    updater.add(actions.Aclogout, [this, logout = actions.Aclogout] { limitLogout(logout); });
    // The install button sits on the import's page: the import's update handler runs while it shows.
    updater.add(actions.AcInputCert, [this, installButton] { limitInstall(installButton); });
}

void TokenLimitsHandler::limitWrite(QAction* action) {
    if (!currentKeyHas(QUILLARD_TOKEN_WRITE_PROTECTED)) {
        action->setToolTip(ownToolTips_.value(action));
        return;
    }
    action->setEnabled(false);
    action->setToolTip(i18n::text("K_WriteProtected"));
}

void TokenLimitsHandler::limitInstall(QWidget* installButton) {
    const bool writeProtected = currentKeyHas(QUILLARD_TOKEN_WRITE_PROTECTED);
    installButton->setEnabled(!writeProtected);
    installButton->setToolTip(writeProtected ? i18n::text("K_WriteProtected") : QString());
}

void TokenLimitsHandler::limitLogout(QAction* logout) {
    logout->setEnabled(!currentKeyHas(QUILLARD_TOKEN_NO_LOGIN));
}

} // namespace ui
