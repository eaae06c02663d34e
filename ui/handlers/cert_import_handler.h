// AcInputCert: the user prepares an import in TIMForm, the choice is checked against the key, and the import
// runs through the key operation runner while the window keeps answering and PBCert advances. Until it has
// ended the key guard is held (no rescan, check or registration) and the key's pages take no input.
#pragma once

#include "platform/secret_bytes.h"
#include "token/flows/certificate_import.h"
#include "token/flows/import_preparation.h"
#include "token/lib/quillard_errors.h"
#include "ui/key_guard.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QTimer;
class QWidget;

namespace ui {

class CertificatesPage;
class KeyOperationRunner;
class TIMForm;
struct MainActions;

class CertImportHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcInputCert and the ticks of `progressTimer` (Timer1); the dialog and the messages belong to
    // `window`.
    CertImportHandler(CertificatesPage& page, const MainActions& actions, QTimer& progressTimer,
                      KeyGuard& guard, KeyOperationRunner& runner, QWidget& window, QObject* parent);

    void AcInputCertExecute();
    bool importRunning() const { return importRunning_; }
    // Closes the import dialog (a top-level window of class TIMForm) when one is open.
    void CloseImportDialog();
    // The certificate tree shows `key` anew: after a successful import its new certificate is selected.
    void treeBuilt(int32_t key);

signals:
    // An import into `key` ended (successfully or not) and its objects are as the key has them: the tree
    // wants rebuilding and the key's certificates registering.
    void importEnded(int32_t key);
    // The dialog closed: the enabled state of the certificate actions may have changed.
    void dialogClosed();

private:
    // Says the import succeeded; the certificate it put on the key is selected and scrolled to once the tree
    // shows it.
    void showImported();
    // The container pre-selected in the dialog, or -1.
    int preselectedContainer() const;
    void fillDialog(TIMForm& dialog, int preselected) const;
    // The import the dialog asks for, or nothing when a check refused it (its message shown).
    std::optional<token::flows::CertificateImport> importFromDialog(const TIMForm& dialog);
    // Asks before a certificate that has expired or is not valid yet is imported; true to go on.
    bool acceptsValidity(const token::flows::CertificateImport& job);
    // The dialog's PKCS#12 check, run through the key operation runner.
    token::flows::Pkcs12Check checkPkcs12File(const std::string& path, const platform::SecretBytes& password);
    void startImport(const token::flows::CertificateImport& job);
    // Once the import has ended: report a failure, rebuild the tree, arm the registration.
    void finishImport(int32_t key, int32_t result);
    void reportFailure(int32_t result);
    void Timer1Timer();
    void finishDialog();

    CertificatesPage& page_;
    QTimer& timer_;
    KeyGuard& guard_;
    KeyOperationRunner& runner_;
    QWidget& window_;
    // The step the import's current phase advances PBCert by, set on the worker.
    std::shared_ptr<std::atomic<int32_t>> progressStep_ = std::make_shared<std::atomic<int32_t>>(0);
    bool importRunning_ = false;
    // Where the running import puts its certificate: the container's name and the key specification.
    std::string importContainer_;
    int32_t importSpec_ = 0;
    bool selectOnceShown_ = false; // the import succeeded and the tree is being read again
};

} // namespace ui
