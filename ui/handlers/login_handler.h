// The login page (TabSheet4) and the logout button: logging in to the current key with the user PIN; a key
// that is logged in is announced, so the certificate page can show its tree.
#pragma once

#include <QObject>
#include <cstdint>

namespace token::flows {
struct UserSession;
}

namespace ui {

class ActionUpdater;
class KeyOperationRunner;
class LoginPage;
class PageStack;
struct MainActions;

class LoginHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcLogin, AcCancel and Aclogout and registers AcLogin's update handler.
    LoginHandler(LoginPage& page, const MainActions& actions, ActionUpdater& updater, PageStack& pages,
                 KeyOperationRunner& runner, QObject* parent);

    // Logs in to the current key with the PIN in edtUPIN; on success shows the certificate page.
    void AcLoginExecute();
    // Enables AcLogin once edtUPIN holds the key's minimum user PIN length; an empty field gets the focus.
    void AcLoginUpdate();
    // Empties edtUPIN.
    void AcCancelExecute();
    // Logs the current key out and shows the login page.
    void AclogoutExecute();
    // Shows the current key's label above the PIN field, and the PIN field or, for a PIN-pad reader, where
    // to enter the PIN.
    void showKeyName();
    // Empties edtUPIN: the keys may now be other keys, and a PIN typed for one must not go to another.
    void forgetPin();

signals:
    // `key` is logged in and its objects reloaded; the certificate page shows.
    void loggedIn(int32_t key);
    // The login found the key gone.
    void keyGone();

private:
    // True when the current key's PIN is entered on its reader's pad.
    static bool pinOnReader();
    void showPinEntry();
    void finishLogin(int32_t key, const token::flows::UserSession& session);

    LoginPage& page_;
    const MainActions& actions_;
    PageStack& pages_;
    KeyOperationRunner& runner_;
};

} // namespace ui
