#include "cert_install_handler.h"

#include "i18n/enrolment_texts.h"
#include "i18n/string_table.h"
#include "token/key_table.h"
#include "ui/handlers/rule_message.h"
#include "ui/key_operation_runner.h"
#include "ui/message_service.h"
#include "ui/pages/certificates_page.h"

#include <QPushButton>

namespace ui {

CertInstallHandler::CertInstallHandler(CertificatesPage& page, KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), runner_(runner) {
    setObjectName(QStringLiteral("certInstallHandler"));
    connect(page_.btnInstallCert, &QPushButton::clicked, this, &CertInstallHandler::installCertificate);
}

void CertInstallHandler::installCertificate() {
    const int32_t key = token::keyTable().currentKey;
    if (key < 0 || token::keyTable().currentLoginState() != token::LoggedIn)
        return;
    const QString path = messageService().openFileName(
        page_.window(),
        FileDialogRequest{i18n::text("Cert_btnInstall"),
                          QStringLiteral("Certificate|*.cer;*.crt;*.pem;*.der;*.p7b;*.p7c|All files|*"),
                          QString(), QString()});
    if (path.isEmpty())
        return;
    token::flows::InstallJob job;
    job.slot = key;
    job.certificatePath = path.toLocal8Bit().toStdString();
    runner_.run([job] { return token::flows::installIssuedCertificate(job); },
                [this, key](token::flows::InstallOutcome outcome) {
                    if (outcome.problem == token::flows::InstallProblem::None) {
                        emit certificatesChanged(key);
                        messageService().inform(page_.window(), i18n::text("Cert_Installed"));
                        return;
                    }
                    messageService().inform(page_.window(),
                                            ruleMessage(i18n::installFailure(outcome), outcome.code));
                });
}

} // namespace ui
