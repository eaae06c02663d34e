#include "cert_tree_handler.h"

#include "cert_node_data.h"
#include "i18n/string_table.h"
#include "token/cert_info_record.h"
#include "token/cert_presence.h"
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
    token::TZartoInfo& record = token::keyTable().keys[key];
    record.containerNames[0].clear();
    if (token::LoadContainerList(key, record) != 0) {
        // A list that could not be read shows no containers rather than the previous read's.
        record.containerCount = 0;
        for (std::string& name : record.containerNames)
            name.clear();
    }
    token::CertPresence().clearKey(key);
    const int32_t count = std::clamp(record.containerCount, 0, token::kMaxContainers);
    if (count == 0)
        addNode(nullptr, i18n::text("K_Null_cont"), IconFolder, IconFolderOpen);
    for (int32_t position = 0; position < count; ++position)
        addContainer(key, position);
    tree->expandAll();
}

void CertTreeHandler::addContainer(int32_t key, int32_t position) {
    const std::string& name = token::keyTable().keys[key].containerNames[position];
    QTreeWidgetItem* container = addNode(
        nullptr, QString::fromLocal8Bit(nameBytes(name)) + i18n::text("K_Cont"), IconFolder, IconFolderOpen);
    setCertNodeData(container, nameBytes(name), 0);
    for (const int32_t spec : {token::kExchangeSpec, token::kSignatureSpec}) {
        token::TZartoCertInfo info;
        const bool present = token::ReadCertInfo(key, name, spec, info) == 0;
        token::CertPresence().set(key, position, spec, present);
        if (present)
            addCertificate(container, key, spec, info);
    }
}

void CertTreeHandler::addCertificate(QTreeWidgetItem* container, int32_t key, int32_t spec,
                                     const token::TZartoCertInfo& info) {
    const QByteArray name = container->data(0, kContainerNameRole).toByteArray();
    QTreeWidgetItem* certificate =
        addNode(container, i18n::text(spec == token::kExchangeSpec ? "K_Cert_mode1" : "K_Cert_mode2"),
                IconFolder, IconFolderOpen);
    setCertNodeData(certificate, name, spec);
    QTreeWidgetItem* subject = addNode(certificate, QString::fromStdU16String(info.subject), IconCertificate);
    setCertNodeData(subject, name, spec);
    addKeyNode(certificate, "K_RSA_Pub", IconKey, key, spec, info.keyBits, false);
    addKeyNode(certificate, "K_RSA_Pri", IconLockedKey, key, spec, info.keyBits, true);
}

void CertTreeHandler::addKeyNode(QTreeWidgetItem* certificate, const char* textKey, int image, int32_t key,
                                 int32_t spec, int32_t keyBits, bool privateKey) {
    const std::string name = certificate->data(0, kContainerNameRole).toByteArray().toStdString();
    int32_t keyType = 0;
    const int32_t result = privateKey ? token::container_get_prikey(key, name, spec, keyType)
                                      : token::container_get_pubkey(key, name, spec, keyType);
    if (result != 0)
        return;
    QTreeWidgetItem* node = addNode(certificate, i18n::text(textKey) + keySuffix(keyType, keyBits), image);
    setCertNodeData(node, certificate->data(0, kContainerNameRole).toByteArray(), spec);
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
