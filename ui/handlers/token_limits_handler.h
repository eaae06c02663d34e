// Keeps the actions a token cannot take disabled: every action that writes to a write-protected token (its
// tooltip then says why) and logout on a token that needs no login. Its update handlers are added after the
// pages' own, so they have the last word whenever the window is idle.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QAction;
class QWidget;

namespace ui {

class ActionUpdater;
struct MainActions;

class TokenLimitsHandler : public QObject {
    Q_OBJECT
public:
    // `installButton` (the certificates page's, which writes an issued certificate) follows the import.
    TokenLimitsHandler(const MainActions& actions, QWidget* installButton, ActionUpdater& updater,
                       QObject* parent);

private:
    // Disables `action` while the current key is write-protected, with the reason as its tooltip.
    void limitWrite(QAction* action);
    void limitLogout(QAction* logout);
    void limitInstall(QWidget* installButton);

    QHash<QAction*, QString> ownToolTips_;
};

} // namespace ui
