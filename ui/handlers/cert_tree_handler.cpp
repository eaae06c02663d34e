#include "cert_tree_handler.h"

#include "cert_node_data.h"
#include "i18n/string_table.h"
#include "token/cert_info_record.h"
#include "token/cert_presence.h"
#include "token/flows/certificate_list.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/filesystem_icons.h"
#include "ui/image_list.h"
#include "ui/main_form.h"
#include "ui/pages/certificates_page.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>
#include <algorithm>

namespace ui {

namespace {

QString keySuffix(int32_t keyType, int32_t keyBits) {
    return (keyType == token::kEllipticCurveKey ? QStringLiteral("(ECC%1)") : QStringLiteral("(RSA%1)"))
        .arg(keyBits);
}

QByteArray nameBytes(const std::string& name) {
    return QByteArray(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace

CertTreeHandler::CertTreeHandler(TMainForm& form) : QObject(&form), form_(form) {
    QTreeWidget* tree = form.TabSheet5->tvCert;
    connect(form.actions.Acrefresh, &QAction::triggered, this, &CertTreeHandler::AcrefreshExecute);
    connect(tree, &QTreeWidget::itemDoubleClicked, form.actions.AcListCert, [&form] {
        // The view action checks the node itself: only a subject node shows a certificate.
        form.actions.AcListCert->trigger();
    });
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QWidget::customContextMenuRequested, this, &CertTreeHandler::openContextMenu);
}

void CertTreeHandler::openContextMenu(const QPoint& position) {
    QTreeWidget* tree = form_.TabSheet5->tvCert;
    QTreeWidgetItem* node = tree->itemAt(position);
    if (!node)
        return;
    // Selecting first runs UpdateCertActions, so the menu's entries are enabled for this node.
    tree->setCurrentItem(node);
    form_.TabSheet5->PMCertInfo->popup(tree->viewport()->mapToGlobal(position));
}

void CertTreeHandler::BuildCertTree(int32_t key) {
    QTreeWidget* tree = form_.TabSheet5->tvCert;
    tree->clear();
    if (key < 0 || key >= token::kKeySlots)
        return;
    const token::flows::CertificateList list = token::flows::readCertificateList(key);
    if (list.containers.empty())
        addNode(nullptr, i18n::text("K_Null_cont"), IconFolder, IconFolderOpen);
    for (const token::flows::ContainerEntry& entry : list.containers)
        addContainer(entry);
    tree->expandAll();
}

void CertTreeHandler::addContainer(const token::flows::ContainerEntry& entry) {
    const QByteArray name = nameBytes(entry.name);
    QTreeWidgetItem* container =
        addNode(nullptr, QString::fromLocal8Bit(name) + i18n::text("K_Cont"), IconFolder, IconFolderOpen);
    setCertNodeData(container, name, 0);
    for (const token::flows::ContainerCertificate& certificate : entry.certificates)
        addCertificate(container, certificate);
}

void CertTreeHandler::addCertificate(QTreeWidgetItem* container,
                                     const token::flows::ContainerCertificate& certificate) {
    const QByteArray name = container->data(0, kContainerNameRole).toByteArray();
    const int32_t spec = certificate.spec;
    QTreeWidgetItem* node =
        addNode(container, i18n::text(spec == token::kExchangeSpec ? "K_Cert_mode1" : "K_Cert_mode2"),
                IconFolder, IconFolderOpen);
    setCertNodeData(node, name, spec);
    QTreeWidgetItem* subject =
        addNode(node, QString::fromStdU16String(certificate.info.subject), IconCertificate);
    setCertNodeData(subject, name, spec);
    addKeyNode(node, "K_RSA_Pub", IconKey, certificate.publicKey, certificate.info.keyBits);
    addKeyNode(node, "K_RSA_Pri", IconLockedKey, certificate.privateKey, certificate.info.keyBits);
}

void CertTreeHandler::addKeyNode(QTreeWidgetItem* certificate, const char* textKey, int image,
                                 const token::flows::PairKey& pairKey, int32_t keyBits) {
    if (!pairKey.present)
        return;
    QTreeWidgetItem* node =
        addNode(certificate, i18n::text(textKey) + keySuffix(pairKey.keyType, keyBits), image);
    setCertNodeData(node, certificate->data(0, kContainerNameRole).toByteArray(),
                    certificate->data(0, kKeySpecRole).toInt());
}

QTreeWidgetItem* CertTreeHandler::addNode(QTreeWidgetItem* parent, const QString& text, int image,
                                          int expandedImage) {
    QTreeWidgetItem* node =
        parent ? new QTreeWidgetItem(parent, {text}) : new QTreeWidgetItem(form_.TabSheet5->tvCert, {text});
    if (expandedImage < 0)
        setNodeImage(node, *form_.IFilesystem, image);
    else
        setNodeImages(node, *form_.IFilesystem, image, expandedImage);
    return node;
}

void CertTreeHandler::AcrefreshExecute() {
    {
        const WaitCursor waitCursor;
        const int32_t key = token::keyTable().currentKey;
        token::token_reload_all_objects(key);
        BuildCertTree(key);
    }
    form_.TabSheet5->tvCert->setFocus();
}

} // namespace ui
