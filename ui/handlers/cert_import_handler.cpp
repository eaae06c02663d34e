#include "cert_import_handler.h"

#include "cert_node_data.h"
#include "cert_registration_handler.h"
#include "i18n/string_table.h"
#include "message_text.h"
#include "token/cert_presence.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/import_dialog.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/certificates_page.h"
#include "ui/tree_nodes.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <utility>

namespace ui {

namespace {

constexpr int kWaitSteps = 2500;
constexpr int kWaitStepMs = 200;
constexpr int kProgressEnd = 100;

} // namespace

CertImportHandler::CertImportHandler(TMainForm& form)
    : QObject(&form), form_(form), waitLimitMs_(kWaitSteps * kWaitStepMs) {
    connect(form.actions.AcInputCert, &QAction::triggered, this, &CertImportHandler::AcInputCertExecute);
    connect(form.Timer1, &QTimer::timeout, this, &CertImportHandler::Timer1Timer);
}

int CertImportHandler::preselectedContainer() const {
    const int32_t count = std::clamp(token::keyTable().current().containerCount, 0, token::kMaxContainers);
    QTreeWidgetItem* node = selectedNode(form_.TabSheet5->tvCert);
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
}

void CertImportHandler::AcInputCertExecute() {
    if (worker_)
        return;
    QTreeWidget* tree = form_.TabSheet5->tvCert;
    tree->setFocus();
    const int preselected = preselectedContainer();
    const KeyTicket ticket = form_.keyGuard.ticket(token::keyTable().currentKey);
    std::optional<token::flows::CertificateImport> job;
    {
        const auto dialog = std::make_unique<TIMForm>(&form_);
        fillDialog(*dialog, preselected);
        // A scan while the dialog was open may have put another key at this slot:
        // that ends as a cancel.
        if (dialog->exec() != QDialog::Accepted || !form_.keyGuard.stillValid(ticket))
            return finishDialog();
        job = importFromDialog(*dialog);
        if (!job)
            return;
    }
    form_.repaint();
    startWorker(*job);
    const bool finished = waitForWorkerWithinLimit();
    form_.Timer1->stop();
    form_.TabSheet5->PBCert->setValue(kProgressEnd);
    form_.TabSheet5->PBCert->hide();
    QApplication::restoreOverrideCursor();
    const int32_t result = finished ? workerResult_.load() : kStillRunning;
    if (!finished) {
        // The key stays the worker's until it ends; the window takes no input
        // meanwhile.
        finishLater_ = true;
        form_.setEnabled(false);
    }
    if (result != 0)
        reportFailure(result);
    if (finished)
        afterWorker(result);
    if (result == 0)
        tree->setFocus();
    form_.UpdateCertActions();
}

void CertImportHandler::finishDialog() {
    form_.TabSheet5->tvCert->setFocus();
    form_.UpdateCertActions();
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
    if (dialog.rb1->isChecked()) {
        job.container = dialog.edtContname->text().toLocal8Bit().toStdString();
        if (std::find(names, names + count, job.container) != names + count) {
            messageService().inform(&form_, i18n::text("K_Cont_Name_Error"));
            return std::nullopt;
        }
        job.createContainer = true;
        return job;
    }
    // An existing container is taken by its position in the key's list, byte for
    // byte.
    const int position = dialog.cbContName->currentIndex();
    if (position < 0 || position >= count)
        return std::nullopt;
    job.container = record.containerNames[position];
    if (token::CertPresence().flag(key, position, job.spec) != 0) {
        messageService().inform(
            &form_, i18n::text(job.spec == token::kExchangeSpec ? "K_spec_mode1" : "K_spec_mode2") +
                        QLatin1Char('\r'));
        return std::nullopt;
    }
    return job;
}

void CertImportHandler::startWorker(const token::flows::CertificateImport& job) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    form_.TabSheet5->PBCert->setValue(0);
    form_.TabSheet5->PBCert->show();
    form_.Timer1->start();
    hold_.emplace(form_.keyGuard);
    QTimer* timer = form_.Timer1;
    worker_ = QThread::create([this, job, timer] {
        const token::flows::ImportPhase phase = [this, timer](int32_t step, int32_t intervalMs) {
            progressStep_ = step;
            QMetaObject::invokeMethod(
                timer, [timer, intervalMs] { timer->setInterval(intervalMs); }, Qt::QueuedConnection);
        };
        workerResult_ = token::flows::importCertificate(job, phase);
    });
    worker_->setObjectName(QStringLiteral("CertificateImport"));
    importKey_ = job.key;
    // Queued to the window thread: it runs only when the window thread next
    // processes events.
    connect(worker_, &QThread::finished, this, [this] {
        if (!std::exchange(finishLater_, false))
            return;
        form_.setEnabled(true);
        afterWorker(workerResult_.load());
    });
    worker_->start();
}

bool CertImportHandler::waitForWorkerWithinLimit() {
    if (!worker_->isFinished()) {
        QEventLoop loop;
        connect(worker_, &QThread::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(waitLimitMs_, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // Completion is the thread's state, never a result code that the library
    // could also return.
    return worker_->isFinished();
}

void CertImportHandler::reportFailure(int32_t result) {
    if (result == kOutOfSpace) {
        messageService().inform(&form_, i18n::text("K_OutSpace_Error"));
        return;
    }
    messageService().inform(&form_, i18n::text("K_Import_Error") + i18n::text("K_ErrorCODE_Str") +
                                        QStringLiteral("  0x") + errorCodeHex(result));
}

void CertImportHandler::afterWorker(int32_t result) {
    const int32_t key = importKey_;
    worker_->wait();
    worker_->deleteLater();
    worker_ = nullptr;
    hold_.reset();
    if (result != 0)
        token::token_reload_all_objects(key);
    form_.BuildCertTree(key);
    form_.certRegistration->scheduleRegistration(key);
}

void CertImportHandler::waitForWorker() {
    if (!worker_)
        return;
    finishLater_ = false;
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    hold_.reset();
}

void CertImportHandler::Timer1Timer() {
    QProgressBar* bar = form_.TabSheet5->PBCert;
    // The bar stops at its end instead of refusing a value beyond it.
    bar->setValue(std::min(bar->value() + progressStep_.load(), bar->maximum()));
}

} // namespace ui
