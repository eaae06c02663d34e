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
#include "ui/main_actions.h"
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

// The class name without its namespace.
QByteArrayView bareClassName(const QObject* object) {
    const QByteArrayView name(object->metaObject()->className());
    const qsizetype separator = name.lastIndexOf(QByteArrayView("::"));
    return separator < 0 ? name : name.sliced(separator + 2);
}

} // namespace

CertImportHandler::CertImportHandler(CertificatesPage& page, const MainActions& actions,
                                     QTimer& progressTimer, KeyGuard& guard, QWidget& window, QObject* parent)
    : QObject(parent), page_(page), timer_(progressTimer), guard_(guard), window_(window),
      waitLimitMs_(kWaitSteps * kWaitStepMs) {
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
    if (worker_)
        return;
    QTreeWidget* tree = page_.tvCert;
    tree->setFocus();
    const int preselected = preselectedContainer();
    const KeyTicket ticket = guard_.ticket(token::keyTable().currentKey);
    std::optional<token::flows::CertificateImport> job;
    {
        const auto dialog = std::make_unique<TIMForm>(&window_);
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
    startWorker(*job);
    const bool finished = waitForWorkerWithinLimit();
    timer_.stop();
    page_.PBCert->setValue(kProgressEnd);
    page_.PBCert->hide();
    QApplication::restoreOverrideCursor();
    const int32_t result = finished ? workerResult_.load() : kStillRunning;
    if (!finished) {
        // The key stays the worker's until it ends; the window takes no input
        // meanwhile.
        finishLater_ = true;
        window_.setEnabled(false);
    }
    if (result != 0)
        reportFailure(result);
    if (finished)
        afterWorker(result);
    if (result == 0)
        tree->setFocus();
    emit dialogClosed();
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

void CertImportHandler::startWorker(const token::flows::CertificateImport& job) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    page_.PBCert->setValue(0);
    page_.PBCert->show();
    timer_.start();
    hold_.emplace(guard_);
    QTimer* timer = &timer_;
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
    importContainer_ = job.container;
    importSpec_ = job.spec;
    // Queued to the window thread: it runs only when the window thread next
    // processes events.
    connect(worker_, &QThread::finished, this, [this] {
        if (!std::exchange(finishLater_, false))
            return;
        window_.setEnabled(true);
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
    if (result == QR_OUT_OF_SPACE) {
        messageService().inform(&window_, i18n::text("K_OutSpace_Error"));
        return;
    }
    messageService().inform(&window_,
                            i18n::failureText(i18n::text("K_Import_Error") + i18n::text("K_ErrorCODE_Str") +
                                                  QStringLiteral("  0x") + errorCodeHex(result),
                                              result));
}

void CertImportHandler::afterWorker(int32_t result) {
    const int32_t key = importKey_;
    worker_->wait();
    worker_->deleteLater();
    worker_ = nullptr;
    hold_.reset();
    if (result != 0)
        token::token_reload_all_objects(key);
    emit importEnded(key);
    if (result == 0)
        showImported();
}

void CertImportHandler::showImported() {
    if (QTreeWidgetItem* node = certificateNode(page_.tvCert, importContainer_, importSpec_)) {
        page_.tvCert->setCurrentItem(node);
        page_.tvCert->scrollToItem(node);
    }
    messageService().inform(&window_, i18n::text("Change_Yes"));
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
    QProgressBar* bar = page_.PBCert;
    // The bar stops at its end instead of refusing a value beyond it.
    bar->setValue(std::min(bar->value() + progressStep_.load(), bar->maximum()));
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
