// The user PIN page (TabSheet2): changing the user PIN of the current key.
#pragma once

#include "token/flows/change_user_pin.h"

#include <QObject>
#include <cstdint>

namespace ui {

class ActionUpdater;
class KeyOperationRunner;
class UserPinPage;
struct MainActions;

class UserPinHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcSetUserPIN and registers its update handler.
    UserPinHandler(UserPinPage& page, const MainActions& actions, ActionUpdater& updater,
                   KeyOperationRunner& runner, QObject* parent);

    // Checks the new PIN, proves the old one and changes the user PIN; the key is logged out afterwards.
    void AcSetUserPINExecute();
    // Enables AcSetUserPIN when each of the three fields holds the key's minimum user PIN length.
    void AcSetUserPINUpdate();

signals:
    // The change found the key gone.
    void keyGone();

private:
    void changePin(int32_t key);
    void finishChange(int32_t key, const token::flows::UserPinChangeOutcome& outcome);
    void emptyFields();

    UserPinPage& page_;
    const MainActions& actions_;
    KeyOperationRunner& runner_;
};

} // namespace ui
