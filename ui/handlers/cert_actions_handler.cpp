#include "cert_actions_handler.h"

#include "cert_node_data.h"
#include "cert_registration_handler.h"
#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "message_text.h"
#include "platform/owner_file.h"
#include "token/flows/certificate_deletion.h"
#include "token/flows/certificate_export.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/handlers/confirmation_text.h"
#include "ui/key_guard.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/certificates_page.h"
#include "ui/tree_nodes.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QStandardPaths>
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
    // The Delete key deletes what is selected in the certificate tree, after the same question.
    keyTree_ = page.tvCert;
    page.tvCert->installEventFilter(this);
}

bool CertActionsHandler::eventFilter(QObject* watched, QEvent* event) {
    // Compared by address only: the filter also sees the tree's last events while the page is destroyed.
    if (watched == keyTree_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
        deleteSelected();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void CertActionsHandler::deleteSelected() {
    UpdateCertActions();
    if (actions_.AcDelCert->isEnabled())
        actions_.AcDelCert->trigger();
    else if (actions_.AcDel->isEnabled())
        actions_.AcDel->trigger();
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
    QTreeWidgetItem* subjectNode = selectedNode(page_.tvCert);
    const QString subject = subjectNode ? subjectNode->text(0) : QString();
    readSelectedCertificate([this, subject](const std::vector<uint8_t>& certificate) {
        exportCertificate(certificate, subject);
    });
}

void CertActionsHandler::exportCertificate(const std::vector<uint8_t>& certificate, const QString& subject) {
    FileDialogRequest request;
    request.defaultSuffix = QStringLiteral("cer");
    request.filter = QStringLiteral("DER (*.cer)|*.cer|PEM (*.pem)|*.pem");
    // The certificate's name in the user's documents folder, for the user to take or change.
    request.folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/') +
                     exportFileName(subject);
    const QString path = messageService().saveFileName(page_.window(), request);
    if (path.isEmpty())
        return;
    const QByteArray der(reinterpret_cast<const char*>(certificate.data()),
                         static_cast<qsizetype>(certificate.size()));
    if (path.endsWith(QStringLiteral(".pem"), Qt::CaseInsensitive))
        exportAsPem(der, path);
    else
        writeExport(path, der);
}

void CertActionsHandler::exportAsPem(const QByteArray& der, const QString& path) {
    runner_.run(
        [der] {
            std::string text;
            const int32_t code =
                token::helper_get_cert_text(reinterpret_cast<const uint8_t*>(der.constData()),
                                            static_cast<int32_t>(der.size()), QUILLARD_CERT_PEM, text);
            return std::make_pair(code, text);
        },
        [this, path](const std::pair<int32_t, std::string>& pem) {
            if (pem.first != 0)
                messageService().inform(page_.window(), i18n::text("K_GetKeyCert_Error"));
            else
                writeExport(path, QByteArray::fromStdString(pem.second));
        });
}

void CertActionsHandler::writeExport(const QString& path, const QByteArray& bytes) {
    if (!platform::writeWholeFile(path, bytes)) {
        messageService().reportError(page_.window(), QStringLiteral("Unable to write to %1").arg(path));
        return;
    }
    messageService().inform(page_.window(), i18n::text("OutPut_OK"));
}

QString CertActionsHandler::exportFileName(const QString& subject) {
    QString name = subject.trimmed();
    // Characters no file name may hold on the desktops the program runs on.
    static const QString kForbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar& character : name) {
        if (kForbidden.contains(character) || character.unicode() < 0x20)
            character = QLatin1Char('_');
    }
    return (name.isEmpty() ? QStringLiteral("certificate") : name) + QStringLiteral(".cer");
}

bool CertActionsHandler::confirmDeletion(const QString& target) {
    const KeyTicket ticket = guard_.ticket(token::keyTable().currentKey);
    const QString question =
        confirmationText(i18n::text("K_DEL_YES_NO"), token::keyTable().current(), target);
    if (!messageService().ask(page_.window(), question))
        return false;
    // A rescan while the question was open may have put another key at this slot.
    return guard_.stillValid(ticket);
}

void CertActionsHandler::AcDelCertExecute() {
    const std::optional<CertTarget> target = selectedCertificate(page_.tvCert);
    if (!target)
        return;
    if (confirmDeletion(selectedNode(page_.tvCert)->text(0))) {
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
    if (target && confirmDeletion(QString::fromLocal8Bit(target->name.data(),
                                                         static_cast<qsizetype>(target->name.size())))) {
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
        messageService().inform(page_.window(),
                                i18n::failureText(i18n::text("K_DEL_Error") + i18n::text("K_ErrorCODE_Str") +
                                                      QStringLiteral(" = 0x") + errorCodeHex(result),
                                                  result));
        return;
    }
    {
        const WaitCursor waitCursor;
        emit certificatesChanged(token::keyTable().currentKey);
    }
    messageService().inform(page_.window(), i18n::text("Change_Yes"));
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
