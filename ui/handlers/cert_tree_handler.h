// The certificate tree of the logged-in key: BuildCertTree reads every container of the key and shows its
// certificates, each certificate's subject and the public and private keys of the pair, and records in
// CertPresence which certificates each container holds. Also Acrefresh and the tree's mouse events: a double
// click views a certificate, a right click over a node selects it and opens PMCertInfo.
#pragma once

#include "token/flows/key_health.h"

#include <QObject>
#include <cstdint>
#include <vector>

class QPoint;
class QTreeWidgetItem;

namespace ui {

class CertificatesPage;
class ImageList;
class KeyOperationRunner;
struct MainActions;

class CertTreeHandler : public QObject {
    Q_OBJECT
public:
    CertTreeHandler(CertificatesPage& page, const MainActions& actions, ImageList& icons,
                    KeyOperationRunner& runner, QObject* parent);

    // Clears tvCert and rebuilds it and the CertPresence row of `key` from the key.
    void BuildCertTree(int32_t key);
    // Acrefresh: reloads the key's objects and rebuilds the tree.
    void AcrefreshExecute();

signals:
    // The tree shows the certificates of `key` as it read them (the read runs beside the window thread).
    void treeBuilt(int32_t key);

private:
    // The certificate list of a key with each certificate judged.
    struct JudgedList {
        token::flows::CertificateList list;
        std::vector<token::flows::CertificateReport> reports;
    };

    void addContainer(const token::flows::ContainerEntry& entry);
    void addCertificate(QTreeWidgetItem* container, const token::flows::ContainerCertificate& certificate);
    void addKeyNode(QTreeWidgetItem* certificate, const char* textKey, int image,
                    const token::flows::PairKey& pairKey, int32_t keyBits);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, int image, int expandedImage = -1);
    void openContextMenu(const QPoint& position);
    void showList(const token::flows::CertificateList& list);
    // The judgement of the certificate of `spec` in `container` while a list is shown; nullptr when none.
    const token::flows::CertificateReport* reportFor(const QByteArray& container, int32_t spec) const;

    CertificatesPage& page_;
    ImageList& icons_;
    KeyOperationRunner& runner_;
    std::vector<token::flows::CertificateReport> reports_;
};

} // namespace ui
