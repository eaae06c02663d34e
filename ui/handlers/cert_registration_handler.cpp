#include "cert_registration_handler.h"

#include "i18n/string_table.h"
#include "token/flows/store_registration.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/main_form.h"
#include "ui/message_service.h"

#include <QAction>
#include <QTimer>
#include <utility>

namespace ui {

CertRegistrationHandler::CertRegistrationHandler(TMainForm& form) : QObject(&form), form_(form) {
    const MainActions& actions = form.actions;
    connect(actions.AcRegCert, &QAction::triggered, this, &CertRegistrationHandler::AcRegCertExecute);
    connect(actions.AcUnRegCert, &QAction::triggered, this, &CertRegistrationHandler::AcUnRegCertExecute);
    connect(form.TRegCert, &QTimer::timeout, this, &CertRegistrationHandler::TRegCertTimer);
    form.addUpdateHandler(actions.AcRegCert, [this] { updateRegistrationActions(); });
    form.addUpdateHandler(actions.AcUnRegCert, [this] { updateRegistrationActions(); });
}

std::string CertRegistrationHandler::cspName() {
    return i18n::text("PROVIDER_NAME").toLocal8Bit().toStdString();
}

int32_t CertRegistrationHandler::RegisterKeyCerts(int32_t key) {
    return token::flows::registerKeyCertificates(key, cspName());
}

void CertRegistrationHandler::registerEveryKey() {
    token::flows::registerEveryKey(cspName());
}

void CertRegistrationHandler::scheduleRegistration(int32_t key) {
    pendingKey_ = form_.keyGuard.ticket(key);
    form_.TRegCert->start();
}

void CertRegistrationHandler::AcRegCertExecute() {
    const int32_t result = RegisterKeyCerts(token::keyTable().currentKey);
    messageService().inform(&form_, i18n::text(result == 0 ? "Change_Yes" : "Change_No"));
}

void CertRegistrationHandler::AcUnRegCertExecute() {
    const int32_t result = token::remove_all_certs_from_store(cspName());
    messageService().inform(&form_, i18n::text(result == 0 ? "Change_Yes" : "Change_No"));
}

void CertRegistrationHandler::TRegCertTimer() {
    // While a key is in use the registration waits for the next tick.
    if (form_.keyGuard.busy())
        return;
    form_.TRegCert->stop();
    const std::optional<KeyTicket> pending = std::exchange(pendingKey_, std::nullopt);
    // The key the import went into, while it still sits at its slot; nothing when it is gone.
    if (pending && !pending->serial.empty() && form_.keyGuard.ticket(pending->slot).serial == pending->serial)
        RegisterKeyCerts(pending->slot);
}

void CertRegistrationHandler::updateRegistrationActions() {
    const token::KeyTable& table = token::keyTable();
    const bool hasContainers = table.keys[table.currentKey].containerCount > 0;
    form_.actions.AcRegCert->setEnabled(hasContainers);
    form_.actions.AcUnRegCert->setEnabled(hasContainers);
}

} // namespace ui
