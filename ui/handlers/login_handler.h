// The login page and the logout button: logging in to the current key with the user PIN, and the check after
// a scan that every key found has been initialised.
#pragma once

#include <QObject>
#include <cstdint>

class QTreeWidgetItem;
class TMainForm;

namespace ui {

class LoginHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcLogin, AcCancel and Aclogout and registers AcLogin's update handler.
    explicit LoginHandler(TMainForm& form);

    // Logs in to the current key with the PIN in edtUPIN; on success shows the certificate page.
    void AcLoginExecute();
    // Enables AcLogin once edtUPIN holds the key's minimum user PIN length; an empty field gets the focus.
    void AcLoginUpdate();
    // Empties edtUPIN.
    void AcCancelExecute();
    // Logs the current key out and shows the login page.
    void AclogoutExecute();
    // The TCheckInit tick: warns about the first key read by the last scan that is not initialised and
    // selects its initialisation node.
    void TCheckInitTimer();

private:
    void showLoggedIn(int32_t key);
    QTreeWidgetItem* initialisationNode(int32_t slot) const;

    TMainForm& form_;
};

} // namespace ui
