#include "cert_actions_handler.h"

#include "cert_node_data.h"
#include "cert_registration_handler.h"
#include "i18n/string_table.h"
#include "message_text.h"
#include "token/cert_info_record.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/certificates_page.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QFileInfo>
#include <QSaveFile>
#include <QTreeWidget>

namespace ui {

namespace {

bool writeWholeFile(const QString& path, const std::vector<uint8_t>& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A new file is the user's alone; a file that is replaced keeps its mode.
    if (!QFileInfo::exists(path))
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace

CertActionsHandler::CertActionsHandler(TMainForm& form) : QObject(&form), form_(form) {
    const MainActions& actions = form.actions;
    connect(actions.AcListCert, &QAction::triggered, this, &CertActionsHandler::AcListCertExecute);
    connect(actions.AcOutput, &QAction::triggered, this, &CertActionsHandler::AcOutputExecute);
    connect(actions.AcDelCert, &QAction::triggered, this, &CertActionsHandler::AcDelCertExecute);
    connect(actions.AcDel, &QAction::triggered, this, &CertActionsHandler::AcDelExecute);
}

std::optional<std::vector<uint8_t>> CertActionsHandler::readSelectedCertificate() {
    const std::optional<CertTarget> target = selectedCertificate(form_.TabSheet5->tvCert);
    if (!target)
        return std::nullopt;
    std::vector<uint8_t> certificate(token::kCertificateBufferSize);
    int32_t length = token::kCertificateBufferSize;
    const int32_t result = token::container_get_cert(token::keyTable().currentKey, target->name, target->spec,
                                                     certificate.data(), length);
    if (result != 0) {
        messageService().inform(&form_, i18n::text("K_GetKeyCert_Error"));
        return std::nullopt;
    }
    certificate.resize(std::clamp(length, 0, token::kCertificateBufferSize));
    return certificate;
}

void CertActionsHandler::AcListCertExecute() {
    if (const auto certificate = readSelectedCertificate())
        token::helper_show_cert_ui(&form_, certificate->data(), static_cast<int32_t>(certificate->size()));
}

void CertActionsHandler::AcOutputExecute() {
    const auto certificate = readSelectedCertificate();
    if (!certificate)
        return;
    FileDialogRequest request;
    request.defaultSuffix = QStringLiteral("cer");
    const QString path = messageService().saveFileName(&form_, request);
    if (path.isEmpty())
        return;
    if (!writeWholeFile(path, *certificate)) {
        messageService().reportError(&form_, QStringLiteral("Unable to write to %1").arg(path));
        return;
    }
    messageService().inform(&form_, i18n::text("OutPut_OK"));
}

bool CertActionsHandler::confirmDeletion() {
    const KeyTicket ticket = form_.keyGuard.ticket(token::keyTable().currentKey);
    if (!messageService().ask(&form_, i18n::text("K_DEL_YES_NO")))
        return false;
    // A rescan while the question was open may have put another key at this slot.
    return form_.keyGuard.stillValid(ticket);
}

void CertActionsHandler::AcDelCertExecute() {
    const std::optional<CertTarget> target = selectedCertificate(form_.TabSheet5->tvCert);
    if (!target)
        return;
    if (confirmDeletion()) {
        int32_t result = 0;
        {
            const WaitCursor waitCursor;
            result = token::container_delete_cert(token::keyTable().currentKey, target->name, target->spec);
        }
        finishDeletion(result);
    }
    focusTree();
}

void CertActionsHandler::AcDelExecute() {
    const std::optional<CertTarget> target = selectedContainer(form_.TabSheet5->tvCert);
    if (target && confirmDeletion()) {
        int32_t result = 0;
        {
            const WaitCursor waitCursor;
            result = token::container_delete(token::keyTable().currentKey, target->name);
        }
        finishDeletion(result);
    }
    focusTree();
}

void CertActionsHandler::finishDeletion(int32_t result) {
    if (result != 0) {
        messageService().inform(&form_, i18n::text("K_DEL_Error") + i18n::text("K_ErrorCODE_Str") +
                                            QStringLiteral(" = 0x") + errorCodeHex(result));
        return;
    }
    // The store is rebuilt from scratch: every entry of the provider goes, then every key found is
    // registered.
    const WaitCursor waitCursor;
    token::remove_all_certs_from_store(CertRegistrationHandler::cspName());
    form_.BuildCertTree(token::keyTable().currentKey);
    form_.certRegistration->registerEveryKey();
}

void CertActionsHandler::focusTree() {
    form_.TabSheet5->tvCert->setFocus();
}

} // namespace ui
