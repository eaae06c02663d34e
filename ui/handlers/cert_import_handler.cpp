#include "cert_import_handler.h"

#include "cert_node_data.h"
#include "i18n/health_texts.h"
#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "message_text.h"
#include "token/cert_presence.h"
#include "token/flows/import_preparation.h"
#include "token/flows/import_validity.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/import_dialog.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/certificates_page.h"
#include "ui/tree_nodes.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <utility>

namespace ui {

namespace {

constexpr int kProgressEnd = 100;

// The class name without its namespace.
QByteArrayView bareClassName(const QObject* object) {
    const QByteArrayView name(object->metaObject()->className());
    const qsizetype separator = name.lastIndexOf(QByteArrayView("::"));
    return separator < 0 ? name : name.sliced(separator + 2);
}

} // namespace

CertImportHandler::CertImportHandler(CertificatesPage& page, const MainActions& actions,
                                     QTimer& progressTimer, KeyGuard& guard, KeyOperationRunner& runner,
                                     QWidget& window, QObject* parent)
    : QObject(parent), page_(page), timer_(progressTimer), guard_(guard), runner_(runner), window_(window) {
    setObjectName(QStringLiteral("certImport"));
    connect(actions.AcInputCert, &QAction::triggered, this, &CertImportHandler::AcInputCertExecute);
    connect(&progressTimer, &QTimer::timeout, this, &CertImportHandler::Timer1Timer);
}

int CertImportHandler::preselectedContainer() const {
    const int32_t count = std::clamp(token::keyTable().current().containerCount, 0, token::kMaxContainers);
    QTreeWidgetItem* node = selectedNode(page_.tvCert);
    const int level = node ? nodeLevel(node) : -1;
    QTreeWidgetItem* container = node;
    // A container node stands for itself, a certificate node for its container;
    // anything else (a subject or key node, or nothing) gives the last container.
    if (level == 1)
        container = node->parent();
    const int position = (level == 0 || level == 1) ? nodePosition(container) : count - 1;
    return position >= 0 && position < count ? position : count - 1;
}

void CertImportHandler::fillDialog(TIMForm& dialog, int preselected) const {
    const token::TZartoInfo& record = token::keyTable().current();
    const int32_t count = std::clamp(record.containerCount, 0, token::kMaxContainers);
    if (count == 0) {
        dialog.rb1->setChecked(true);
        dialog.rb2->setEnabled(false);
        return;
    }
    for (int32_t position = 0; position < count; ++position) {
        const std::string& name = record.containerNames[position];
        dialog.cbContName->addItem(QString::fromLocal8Bit(name.data(), static_cast<qsizetype>(name.size())));
    }
    dialog.cbContName->setCurrentIndex(preselected);
    dialog.rb2->setChecked(true);
    dialog.rb2Click();
    // The place offered first is a free one: the signature place when only the exchange place is taken.
    const int32_t key = token::keyTable().currentKey;
    if (token::CertPresence().flag(key, preselected, token::kExchangeSpec) != 0 &&
        token::CertPresence().flag(key, preselected, token::kSignatureSpec) == 0)
        dialog.rb4->setChecked(true);
}

void CertImportHandler::AcInputCertExecute() {
    if (importRunning_)
        return;
    page_.tvCert->setFocus();
    const int preselected = preselectedContainer();
    const KeyTicket ticket = guard_.ticket(token::keyTable().currentKey);
    std::optional<token::flows::CertificateImport> job;
    {
        const auto dialog = std::make_unique<TIMForm>(&window_);
        dialog->setPkcs12Checker([this](const std::string& path, const platform::SecretBytes& password) {
            return checkPkcs12File(path, password);
        });
        fillDialog(*dialog, preselected);
        // A place that cannot take the certificate shows why and the dialog comes back with what was
        // entered, for another place or a cancel.
        while (!job) {
            // A scan while the dialog was open may have put another key at this slot:
            // that ends as a cancel.
            if (dialog->exec() != QDialog::Accepted || !guard_.stillValid(ticket))
                return finishDialog();
            job = importFromDialog(*dialog);
        }
        if (!acceptsValidity(*job) || !guard_.stillValid(ticket))
            return finishDialog();
    }
    window_.repaint();
    startImport(*job);
}

token::flows::Pkcs12Check CertImportHandler::checkPkcs12File(const std::string& path,
                                                             const platform::SecretBytes& password) {
    // The dialog's OK needs the answer before it goes on: its modal loop waits for the runner, taking no
    // input meanwhile, while the library reads the file beside the window thread.
    auto answer = std::make_shared<std::optional<token::flows::Pkcs12Check>>();
    runner_.run([path, password] { return token::flows::checkPkcs12File(path, password.c_str()); },
                [answer](const token::flows::Pkcs12Check& check) { *answer = check; });
    while (!answer->has_value())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    return **answer;
}

void CertImportHandler::finishDialog() {
    page_.tvCert->setFocus();
    emit dialogClosed();
}

std::optional<token::flows::CertificateImport> CertImportHandler::importFromDialog(const TIMForm& dialog) {
    const int32_t key = token::keyTable().currentKey;
    const token::TZartoInfo& record = token::keyTable().current();
    const int32_t count = std::clamp(record.containerCount, 0, token::kMaxContainers);
    const auto names = record.containerNames.begin();
    token::flows::CertificateImport job;
    job.kind = dialog.importKind == 1 ? token::flows::ImportKind::X509 : token::flows::ImportKind::Pkcs12;
    job.key = key;
    job.spec = dialog.rb3->isChecked() ? token::kExchangeSpec : token::kSignatureSpec;
    job.entry = dialog.entryCount > 0 ? dialog.entryCount - 1 : 0;
    job.path = QFile::encodeName(dialog.edtPath->text()).toStdString();
    token::flows::ImportCheck check = token::flows::ImportCheck::Ready;
    if (dialog.rb1->isChecked()) {
        check = token::flows::chooseNewContainer(job, std::vector<std::string>(names, names + count),
                                                 dialog.edtContname->text().toLocal8Bit().toStdString());
    } else {
        // An existing container is taken by its position in the key's list, byte for byte.
        const int position = dialog.cbContName->currentIndex();
        if (position < 0 || position >= count)
            return std::nullopt;
        check = token::flows::chooseExistingContainer(
            job, record.containerNames[position], token::CertPresence().flag(key, position, job.spec) != 0);
    }
    if (check == token::flows::ImportCheck::Ready)
        return job;
    // The place message ends in a line break, as the window has always shown it.
    const QString lineEnd = check == token::flows::ImportCheck::PlaceTaken ? QStringLiteral("\r") : QString();
    messageService().inform(&window_, i18n::importCheckText(check, job.spec) + lineEnd);
    return std::nullopt;
}

bool CertImportHandler::acceptsValidity(const token::flows::CertificateImport& job) {
    const auto health = token::flows::importedCertificateHealth(job, token::flows::secondsNow());
    if (!health || !token::flows::outsideValidity(*health))
        return true;
    return messageService().ask(&window_, i18n::outsideValidityText(*health) + QStringLiteral("\r") +
                                              i18n::text("K_Import_Ask"));
}

void CertImportHandler::startImport(const token::flows::CertificateImport& job) {
    page_.PBCert->setValue(0);
    page_.PBCert->show();
    timer_.start();
    importRunning_ = true;
    importContainer_ = job.container;
    importSpec_ = job.spec;
    runner_.run(
        [job, timer = QPointer<QTimer>(&timer_), step = progressStep_] {
            const token::flows::ImportPhase phase = [timer, step](int32_t nextStep, int32_t intervalMs) {
                *step = nextStep;
                QMetaObject::invokeMethod(
                    timer,
                    [timer, intervalMs] {
                        if (timer)
                            timer->setInterval(intervalMs);
                    },
                    Qt::QueuedConnection);
            };
            const int32_t result = token::flows::importCertificate(job, phase);
            // After a failure the key's objects are read again, as the key has them now.
            if (result != 0)
                token::token_reload_all_objects(job.key);
            return result;
        },
        [this, key = job.key](int32_t result) { finishImport(key, result); });
}

void CertImportHandler::finishImport(int32_t key, int32_t result) {
    timer_.stop();
    page_.PBCert->setValue(kProgressEnd);
    page_.PBCert->hide();
    importRunning_ = false;
    if (result != 0)
        reportFailure(result);
    emit importEnded(key);
    if (result == 0) {
        page_.tvCert->setFocus();
        showImported();
    }
    emit dialogClosed();
}

void CertImportHandler::reportFailure(int32_t result) {
    if (result == QR_OUT_OF_SPACE) {
        messageService().inform(&window_, i18n::text("K_OutSpace_Error"));
        return;
    }
    messageService().inform(&window_,
                            i18n::failureText(i18n::text("K_Import_Error") + i18n::text("K_ErrorCODE_Str") +
                                                  QStringLiteral("  0x") + errorCodeHex(result),
                                              result));
}

void CertImportHandler::showImported() {
    // The tree is read again beside the window thread: the new certificate is selected once it shows.
    selectOnceShown_ = true;
    messageService().inform(&window_, i18n::text("Change_Yes"));
}

void CertImportHandler::treeBuilt(int32_t) {
    if (!std::exchange(selectOnceShown_, false))
        return;
    if (QTreeWidgetItem* node = certificateNode(page_.tvCert, importContainer_, importSpec_)) {
        page_.tvCert->setCurrentItem(node);
        page_.tvCert->scrollToItem(node);
    }
}

void CertImportHandler::Timer1Timer() {
    QProgressBar* bar = page_.PBCert;
    // The bar stops at its end instead of refusing a value beyond it.
    bar->setValue(std::min(bar->value() + progressStep_->load(), bar->maximum()));
}

void CertImportHandler::CloseImportDialog() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (bareClassName(window) == QByteArrayView("TIMForm")) {
            window->close();
            return;
        }
    }
}

} // namespace ui
