#include "cert_registration_handler.h"

#include "i18n/string_table.h"
#include "token/cert_info_record.h"
#include "token/cert_presence.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/main_form.h"
#include "ui/message_service.h"

#include <QAction>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace ui {

namespace {

constexpr int32_t kExchangeFailureBase = 10000;
constexpr int32_t kSignatureFailureBase = 20000;

} // namespace

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
    if (key < 0 || key >= token::kKeySlots)
        return 0;
    token::TZartoInfo& record = token::keyTable().keys[key];
    if (const int32_t result = token::LoadContainerList(key, record); result != 0)
        return result;
    const std::string csp = cspName();
    const int32_t count = std::clamp(record.containerCount, 0, token::kMaxContainers);
    for (int32_t position = 0; position < count; ++position) {
        const std::string& name = record.containerNames[position];
        for (const int32_t spec : {token::kExchangeSpec, token::kSignatureSpec}) {
            token::TZartoCertInfo info;
            if (token::ReadCertInfo(key, name, spec, info) != 0 || info.algorithm != 0)
                continue;
            // Only RSA pairs go to the store. A key type that cannot be read does not count as elliptic.
            int32_t keyType = 0;
            token::container_get_pubkey(key, name, spec, keyType);
            if (keyType == token::kEllipticCurveKey)
                continue;
            const int32_t result = token::container_addcert_to_store(name, csp, spec, info.certificate.data(),
                                                                     info.certificateLength);
            if (result != 0)
                return result + (spec == token::kExchangeSpec ? kExchangeFailureBase : kSignatureFailureBase);
        }
    }
    return 0;
}

void CertRegistrationHandler::registerEveryKey() {
    const int32_t keyCount = std::clamp(token::keyTable().keyCount, 0, token::kMaxKeysFound);
    for (int32_t key = 0; key < keyCount; ++key)
        RegisterKeyCerts(key);
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
