#include "cert_tree_handler.h"

#include "cert_node_data.h"
#include "i18n/string_table.h"
#include "token/cert_info_record.h"
#include "token/cert_presence.h"
#include "token/flows/certificate_list.h"
#include "token/flows/key_health.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/cert_health_badge.h"
#include "ui/cert_health_context.h"
#include "ui/filesystem_icons.h"
#include "ui/image_list.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
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

CertTreeHandler::CertTreeHandler(CertificatesPage& page, const MainActions& actions, ImageList& icons,
                                 KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), icons_(icons), runner_(runner) {
    setObjectName(QStringLiteral("certTree"));
    QTreeWidget* tree = page.tvCert;
    connect(actions.Acrefresh, &QAction::triggered, this, &CertTreeHandler::AcrefreshExecute);
    QAction* view = actions.AcListCert;
    // The view action checks the node itself: only a subject node shows a certificate.
    connect(tree, &QTreeWidget::itemDoubleClicked, view, [view] { view->trigger(); });
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QWidget::customContextMenuRequested, this, &CertTreeHandler::openContextMenu);
}

void CertTreeHandler::openContextMenu(const QPoint& position) {
    QTreeWidget* tree = page_.tvCert;
    QTreeWidgetItem* node = tree->itemAt(position);
    if (!node)
        return;
    // Selecting first runs UpdateCertActions, so the menu's entries are enabled for this node.
    tree->setCurrentItem(node);
    page_.PMCertInfo->popup(tree->viewport()->mapToGlobal(position));
}

void CertTreeHandler::BuildCertTree(int32_t key) {
    page_.tvCert->clear();
    if (key < 0 || key >= token::kKeySlots)
        return;
    const int days = CertHealthContext::instance().warningDays();
    runner_.run(
        [key, days] {
            JudgedList judged;
            judged.list = token::flows::readCertificateList(key);
            judged.reports = token::flows::judgeCertificates(judged.list, token::flows::secondsNow(), days);
            return judged;
        },
        [this, key](const JudgedList& judged) {
            reports_ = judged.reports;
            showList(judged.list);
            reports_.clear();
            emit treeBuilt(key);
        });
}

void CertTreeHandler::showList(const token::flows::CertificateList& list) {
    QTreeWidget* tree = page_.tvCert;
    std::vector<std::vector<uint8_t>> certificates;
    for (const token::flows::CertificateReport& report : reports_)
        certificates.push_back(report.certificate.info.certificate);
    CertHealthContext::instance().setKeyCertificates(std::move(certificates));
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
    for (const int32_t spec : entry.keyPairsWithoutCertificate) {
        const char* specKey = spec == token::kExchangeSpec ? "Enrol_Exchange" : "Enrol_Signature";
        QTreeWidgetItem* pair = addNode(container,
                                        i18n::text("Cert_KeyPairOnly") + QStringLiteral(" (") +
                                            i18n::text(specKey) + QLatin1Char(')'),
                                        IconKey);
        setCertNodeData(pair, name, 0);
    }
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
    if (const token::flows::CertificateReport* report = reportFor(name, spec))
        showCertificateHealth(subject, *report);
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
        parent ? new QTreeWidgetItem(parent, {text}) : new QTreeWidgetItem(page_.tvCert, {text});
    if (expandedImage < 0)
        setNodeImage(node, icons_, image);
    else
        setNodeImages(node, icons_, image, expandedImage);
    return node;
}

const token::flows::CertificateReport* CertTreeHandler::reportFor(const QByteArray& container,
                                                                  int32_t spec) const {
    const auto found = std::find_if(reports_.begin(), reports_.end(), [&](const auto& report) {
        return report.certificate.spec == spec && nameBytes(report.container) == container;
    });
    return found == reports_.end() ? nullptr : &*found;
}

void CertTreeHandler::AcrefreshExecute() {
    const int32_t key = token::keyTable().currentKey;
    runner_.run([key] { return token::token_reload_all_objects(key); },
                [this, key](int32_t) {
                    const WaitCursor waitCursor;
                    BuildCertTree(key);
                });
    page_.tvCert->setFocus();
}

} // namespace ui
