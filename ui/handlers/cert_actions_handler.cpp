#include "cert_actions_handler.h"

#include "cert_node_data.h"
#include "cert_registration_handler.h"
#include "i18n/string_table.h"
#include "message_text.h"
#include "platform/owner_file.h"
#include "token/flows/certificate_deletion.h"
#include "token/flows/certificate_export.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/key_guard.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/certificates_page.h"
#include "ui/tree_nodes.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QTreeWidget>

namespace ui {

CertActionsHandler::CertActionsHandler(CertificatesPage& page, const MainActions& actions, KeyGuard& guard,
                                       KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), actions_(actions), guard_(guard), runner_(runner) {
    setObjectName(QStringLiteral("certActions"));
    connect(page.tvCert, &QTreeWidget::itemSelectionChanged, this, &CertActionsHandler::UpdateCertActions);
    connect(actions.AcListCert, &QAction::triggered, this, &CertActionsHandler::AcListCertExecute);
    connect(actions.AcOutput, &QAction::triggered, this, &CertActionsHandler::AcOutputExecute);
    connect(actions.AcDelCert, &QAction::triggered, this, &CertActionsHandler::AcDelCertExecute);
    connect(actions.AcDel, &QAction::triggered, this, &CertActionsHandler::AcDelExecute);
}

void CertActionsHandler::readSelectedCertificate(std::function<void(const std::vector<uint8_t>&)> then) {
    const std::optional<CertTarget> target = selectedCertificate(page_.tvCert);
    if (!target)
        return;
    const int32_t key = token::keyTable().currentKey;
    runner_.run(
        [key, target] {
            std::vector<uint8_t> bytes;
            const int32_t code = token::flows::readCertificate(key, target->name, target->spec, bytes);
            return std::make_pair(code, std::move(bytes));
        },
        [this, then](const std::pair<int32_t, std::vector<uint8_t>>& read) {
            if (read.first != 0)
                messageService().inform(page_.window(), i18n::text("K_GetKeyCert_Error"));
            else
                then(read.second);
        });
}

void CertActionsHandler::AcListCertExecute() {
    readSelectedCertificate([this](const std::vector<uint8_t>& certificate) {
        token::helper_show_cert_ui(page_.window(), certificate.data(),
                                   static_cast<int32_t>(certificate.size()));
    });
}

void CertActionsHandler::AcOutputExecute() {
    readSelectedCertificate(
        [this](const std::vector<uint8_t>& certificate) { exportCertificate(certificate); });
}

void CertActionsHandler::exportCertificate(const std::vector<uint8_t>& certificate) {
    FileDialogRequest request;
    request.defaultSuffix = QStringLiteral("cer");
    const QString path = messageService().saveFileName(page_.window(), request);
    if (path.isEmpty())
        return;
    const QByteArray bytes(reinterpret_cast<const char*>(certificate.data()),
                           static_cast<qsizetype>(certificate.size()));
    if (!platform::writeWholeFile(path, bytes)) {
        messageService().reportError(page_.window(), QStringLiteral("Unable to write to %1").arg(path));
        return;
    }
    messageService().inform(page_.window(), i18n::text("OutPut_OK"));
}

bool CertActionsHandler::confirmDeletion() {
    const KeyTicket ticket = guard_.ticket(token::keyTable().currentKey);
    if (!messageService().ask(page_.window(), i18n::text("K_DEL_YES_NO")))
        return false;
    // A rescan while the question was open may have put another key at this slot.
    return guard_.stillValid(ticket);
}

void CertActionsHandler::AcDelCertExecute() {
    const std::optional<CertTarget> target = selectedCertificate(page_.tvCert);
    if (!target)
        return;
    if (confirmDeletion()) {
        const int32_t key = token::keyTable().currentKey;
        runner_.run(
            [key, target] {
                return token::flows::deleteCertificate(key, target->name, target->spec,
                                                       CertRegistrationHandler::cspName());
            },
            [this](int32_t result) { finishDeletion(result); });
    }
    focusTree();
}

void CertActionsHandler::AcDelExecute() {
    const std::optional<CertTarget> target = selectedContainer(page_.tvCert);
    if (target && confirmDeletion()) {
        const int32_t key = token::keyTable().currentKey;
        runner_.run(
            [key, target] {
                return token::flows::deleteContainer(key, target->name, CertRegistrationHandler::cspName());
            },
            [this](int32_t result) { finishDeletion(result); });
    }
    focusTree();
}

void CertActionsHandler::finishDeletion(int32_t result) {
    if (result != 0) {
        messageService().inform(page_.window(), i18n::text("K_DEL_Error") + i18n::text("K_ErrorCODE_Str") +
                                                    QStringLiteral(" = 0x") + errorCodeHex(result));
        return;
    }
    const WaitCursor waitCursor;
    emit certificatesChanged(token::keyTable().currentKey);
}

void CertActionsHandler::focusTree() {
    page_.tvCert->setFocus();
}

void CertActionsHandler::UpdateCertActions() {
    const token::KeyTable& table = token::keyTable();
    const int32_t loginState = table.keyCount == 0 ? 0 : table.loginState[table.currentKey];
    const QList<QTreeWidgetItem*> selected = page_.tvCert->selectedItems();
    QTreeWidgetItem* node = selected.isEmpty() ? nullptr : selected.first();
    const int level = node ? nodeLevel(node) : -1;
    const int position = node ? nodePosition(node) : -1;

    const bool loggedIn = loginState >= token::LoggedIn;
    const bool onCertificate = loggedIn && level == 2 && position == 0;
    actions_.AcDel->setEnabled(loggedIn && level == 0 && table.keys[table.currentKey].containerCount > 0);
    actions_.AcOutput->setEnabled(onCertificate);
    actions_.AcListCert->setEnabled(onCertificate);
    actions_.AcDelCert->setEnabled(onCertificate);
}

} // namespace ui
