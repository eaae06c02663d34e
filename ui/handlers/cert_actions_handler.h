// The actions on the node selected in the certificate tree of the certificate page (TabSheet5): AcListCert
// shows a certificate, AcOutput saves it to a file, AcDelCert deletes it and AcDel deletes a whole container.
// A deletion asks first; the key, the container and the certificate are noted before the question and checked
// after it, so a rescan while the question is open makes the deletion stop as if the user had said No.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ui {

class CertificatesPage;
class KeyGuard;
class KeyOperationRunner;
struct CertTarget;
struct MainActions;

class CertActionsHandler : public QObject {
    Q_OBJECT
public:
    // Connects the four actions and the selection changes of tvCert.
    CertActionsHandler(CertificatesPage& page, const MainActions& actions, KeyGuard& guard,
                       KeyOperationRunner& runner, QObject* parent);

    void AcListCertExecute();
    void AcOutputExecute();
    void AcDelCertExecute();
    void AcDelExecute();
    // Enables AcDel, AcOutput, AcListCert and AcDelCert from the login state and the tvCert selection.
    void UpdateCertActions();

protected:
    // The Delete key in the certificate tree.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The certificates of `key` changed: its tree wants rebuilding.
    void certificatesChanged(int32_t key);

private:
    // Reads the selected certificate of the current key; K_GetKeyCert_Error and nothing when it cannot.
    // Reads the selected certificate off the window thread and hands its DER bytes to `then`; a failed read
    // is reported and `then` is not called.
    void readSelectedCertificate(std::function<void(const std::vector<uint8_t>&)> then);
    // Asks where to export `certificate` (whose subject the tree shows as `subject`) and writes it there.
    void exportCertificate(const std::vector<uint8_t>& certificate, const QString& subject);
    // Asks K_DEL_YES_NO, naming the key and `target` (the certificate's subject or the container); true when
    // the answer is Yes and the current key is still the one it was.
    bool confirmDeletion(const QString& target);
    // The file name an export proposes for the certificate whose subject the tree shows as `subject`.
    static QString exportFileName(const QString& subject);
    // Writes the PEM text of the certificate `der` to `path`.
    void exportAsPem(const QByteArray& der, const QString& path);
    // Writes `bytes` to `path` (owner-only, through a temporary name) and says how it went.
    void writeExport(const QString& path, const QByteArray& bytes);
    // The Delete key in the certificate tree: the selected certificate, or else the selected container.
    void deleteSelected();
    // What follows a deletion: the store rebuilt and the tree rebuilt, or the failure message.
    void finishDeletion(int32_t result);
    void focusTree();

    CertificatesPage& page_;
    const MainActions& actions_;
    KeyGuard& guard_;
    KeyOperationRunner& runner_;
    const QObject* keyTree_ = nullptr; // the tree whose Delete key the filter takes
};

} // namespace ui
