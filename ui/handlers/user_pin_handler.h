// The user PIN page: changing the current key's user PIN.
#pragma once

#include <QObject>
#include <cstdint>

class TMainForm;

namespace platform {
class SecretBytes;
}

namespace ui {

class UserPinHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcSetUserPIN and registers its update handler.
    explicit UserPinHandler(TMainForm& form);

    // Checks the new PIN, proves the old one and changes the user PIN; the key is logged out afterwards.
    void AcSetUserPINExecute();
    // Enables AcSetUserPIN when each of the three fields holds the key's minimum user PIN length.
    void AcSetUserPINUpdate();

private:
    // The first reason the typed PINs cannot be used, as the message to show; empty when there is none.
    QString newPinProblem(const platform::SecretBytes& newPin) const;
    void changePin(int32_t key, const platform::SecretBytes& oldPin, const platform::SecretBytes& newPin);
    void emptyFields();

    TMainForm& form_;
};

} // namespace ui
