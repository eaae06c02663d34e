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
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/certificates_page.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QTreeWidget>

namespace ui {

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
    std::vector<uint8_t> certificate;
    if (token::flows::readCertificate(token::keyTable().currentKey, target->name, target->spec,
                                      certificate) != 0) {
        messageService().inform(&form_, i18n::text("K_GetKeyCert_Error"));
        return std::nullopt;
    }
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
    const QByteArray bytes(reinterpret_cast<const char*>(certificate->data()),
                           static_cast<qsizetype>(certificate->size()));
    if (!platform::writeWholeFile(path, bytes)) {
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
            result = token::flows::deleteCertificate(token::keyTable().currentKey, target->name, target->spec,
                                                     CertRegistrationHandler::cspName());
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
            result = token::flows::deleteContainer(token::keyTable().currentKey, target->name,
                                                   CertRegistrationHandler::cspName());
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
    const WaitCursor waitCursor;
    form_.BuildCertTree(token::keyTable().currentKey);
}

void CertActionsHandler::focusTree() {
    form_.TabSheet5->tvCert->setFocus();
}

} // namespace ui
