// Registration of a key's certificates in the system certificate store: RegisterKeyCerts, the actions
// AcRegCert and AcUnRegCert, and the TRegCert tick that registers the key an import went into, a second after
// the import.
#pragma once

#include "ui/key_guard.h"

#include <QObject>
#include <cstdint>
#include <optional>
#include <string>

class QTimer;
class QWidget;

namespace ui {

class ActionUpdater;
class KeyOperationRunner;
struct MainActions;

class CertRegistrationHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcRegCert, AcUnRegCert and the ticks of `registrationTimer` (TRegCert); messages belong to
    // `window`.
    CertRegistrationHandler(const MainActions& actions, ActionUpdater& updater, QTimer& registrationTimer,
                            KeyGuard& guard, KeyOperationRunner& runner, QWidget& window, QObject* parent);

    // The provider name the store entries are linked to (PROVIDER_NAME in 8-bit form).
    static std::string cspName();

    // The flow that puts the RSA certificates of `key` into the store: 0, the container list read's code, or
    // 10000 / 20000 plus the store's code for the first exchange / signature certificate the store refused.
    static int32_t RegisterKeyCerts(int32_t key);
    // Arms TRegCert for the key at `key` as it is now; the tick registers that key if it is still there.
    void scheduleRegistration(int32_t key);

    void AcRegCertExecute();
    void AcUnRegCertExecute();
    void TRegCertTimer();

private:
    // The update handler of AcRegCert and AcUnRegCert: enabled while the current key has containers.
    void updateRegistrationActions();

    const MainActions& actions_;
    QTimer& timer_;
    KeyGuard& guard_;
    KeyOperationRunner& runner_;
    QWidget& window_;
    std::optional<KeyTicket> pendingKey_;
};

} // namespace ui
