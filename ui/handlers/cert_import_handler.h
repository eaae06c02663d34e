// AcInputCert: the user prepares an import in TIMForm, the choice is checked against the key, and the import
// runs on a worker thread while the window keeps repainting and PBCert advances. While the worker runs the
// key guard is held (no rescan, check or registration) and no user input is processed; the window thread
// calls the library again only after the worker has ended, also when the wait for it ran out.
#pragma once

#include "token/flows/certificate_import.h"
#include "token/lib/quillard_errors.h"
#include "ui/key_guard.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

class QThread;
class QTimer;
class QWidget;

namespace ui {

class CertificatesPage;
class TIMForm;
struct MainActions;

class CertImportHandler : public QObject {
    Q_OBJECT
public:
    // The result reported when the worker has not finished when the wait ends.
    static constexpr int32_t kStillRunning = QR_STILL_RUNNING;

    // Connects AcInputCert and the ticks of `progressTimer` (Timer1); the dialog and the messages belong to
    // `window`, which takes no input while an import outlives its wait.
    CertImportHandler(CertificatesPage& page, const MainActions& actions, QTimer& progressTimer,
                      KeyGuard& guard, QWidget& window, QObject* parent);

    void AcInputCertExecute();
    // How long the window waits for the worker (2500 steps of 200 ms unless a test sets it).
    void setWaitLimit(int milliseconds) { waitLimitMs_ = milliseconds; }
    bool importRunning() const { return worker_ != nullptr; }
    // Blocks until a running worker has ended; the window calls it before the library shuts down.
    void waitForWorker();
    // Closes the import dialog (a top-level window of class TIMForm) when one is open.
    void CloseImportDialog();

signals:
    // An import into `key` ended (successfully or not) and its objects are as the key has them: the tree
    // wants rebuilding and the key's certificates registering.
    void importEnded(int32_t key);
    // The dialog closed: the enabled state of the certificate actions may have changed.
    void dialogClosed();

private:
    // Selects and scrolls to the certificate the import put on the key, and says the import succeeded.
    void showImported();
    // The container pre-selected in the dialog, or -1.
    int preselectedContainer() const;
    void fillDialog(TIMForm& dialog, int preselected) const;
    // The import the dialog asks for, or nothing when a check refused it (its message shown).
    std::optional<token::flows::CertificateImport> importFromDialog(const TIMForm& dialog);
    // Asks before a certificate that has expired or is not valid yet is imported; true to go on.
    bool acceptsValidity(const token::flows::CertificateImport& job);
    void startWorker(const token::flows::CertificateImport& job);
    // Waits for the worker within the limit; true when it has finished.
    bool waitForWorkerWithinLimit();
    void reportFailure(int32_t result);
    // Once the worker has ended: reload after a failure, rebuild the tree, arm the registration.
    void afterWorker(int32_t result);
    void Timer1Timer();
    void finishDialog();

    CertificatesPage& page_;
    QTimer& timer_;
    KeyGuard& guard_;
    QWidget& window_;
    int waitLimitMs_;
    QThread* worker_ = nullptr;
    std::atomic<int32_t> workerResult_{0};
    std::atomic<int32_t> progressStep_{0};
    std::optional<KeyGuard::Hold> hold_;
    int32_t importKey_ = 0;
    // Where the running import puts its certificate: the container's name and the key specification.
    std::string importContainer_;
    int32_t importSpec_ = 0;
    bool finishLater_ = false; // the wait ran out: the worker's end finishes the import
};

} // namespace ui
