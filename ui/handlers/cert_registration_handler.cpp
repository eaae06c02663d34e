#include "cert_registration_handler.h"

#include "i18n/string_table.h"
#include "token/flows/store_registration.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/action_updater.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"

#include <QAction>
#include <QTimer>
#include <utility>

namespace ui {

CertRegistrationHandler::CertRegistrationHandler(const MainActions& actions, ActionUpdater& updater,
                                                 QTimer& registrationTimer, KeyGuard& guard,
                                                 KeyOperationRunner& runner, QWidget& window, QObject* parent)
    : QObject(parent), actions_(actions), timer_(registrationTimer), guard_(guard), runner_(runner),
      window_(window) {
    setObjectName(QStringLiteral("certRegistration"));
    connect(actions.AcRegCert, &QAction::triggered, this, &CertRegistrationHandler::AcRegCertExecute);
    connect(actions.AcUnRegCert, &QAction::triggered, this, &CertRegistrationHandler::AcUnRegCertExecute);
    connect(&registrationTimer, &QTimer::timeout, this, &CertRegistrationHandler::TRegCertTimer);
    updater.add(actions.AcRegCert, [this] { updateRegistrationActions(); });
    updater.add(actions.AcUnRegCert, [this] { updateRegistrationActions(); });
}

std::string CertRegistrationHandler::cspName() {
    return i18n::text("PROVIDER_NAME").toLocal8Bit().toStdString();
}

int32_t CertRegistrationHandler::RegisterKeyCerts(int32_t key) {
    // The flow alone: callers run it through the key operation runner.
    return token::flows::registerKeyCertificates(key, cspName());
}

void CertRegistrationHandler::scheduleRegistration(int32_t key) {
    pendingKey_ = guard_.ticket(key);
    timer_.start();
}

void CertRegistrationHandler::AcRegCertExecute() {
    const int32_t key = token::keyTable().currentKey;
    runner_.run([key] { return RegisterKeyCerts(key); },
                [this](int32_t result) {
                    messageService().inform(&window_, i18n::text(result == 0 ? "Change_Yes" : "Change_No"));
                });
}

void CertRegistrationHandler::AcUnRegCertExecute() {
    runner_.run([] { return token::remove_all_certs_from_store(cspName()); },
                [this](int32_t result) {
                    messageService().inform(&window_, i18n::text(result == 0 ? "Change_Yes" : "Change_No"));
                });
}

void CertRegistrationHandler::TRegCertTimer() {
    // While a key is in use the registration waits for the next tick.
    if (guard_.busy())
        return;
    timer_.stop();
    const std::optional<KeyTicket> pending = std::exchange(pendingKey_, std::nullopt);
    // The key the import went into, while it still sits at its slot; nothing when it is gone.
    if (pending && !pending->serial.empty() && guard_.ticket(pending->slot).serial == pending->serial)
        runner_.run([slot = pending->slot] { return RegisterKeyCerts(slot); }, [](int32_t) {});
}

void CertRegistrationHandler::updateRegistrationActions() {
    const token::KeyTable& table = token::keyTable();
    const bool hasContainers = table.keys[table.currentKey].containerCount > 0;
    actions_.AcRegCert->setEnabled(hasContainers);
    actions_.AcUnRegCert->setEnabled(hasContainers);
}

} // namespace ui
