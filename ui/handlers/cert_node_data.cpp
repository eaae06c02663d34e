#include "cert_node_data.h"

#include "ui/tree_nodes.h"

#include <QTreeWidget>

namespace ui {

namespace {

CertTarget targetOf(QTreeWidgetItem* node, QTreeWidgetItem* containerNode) {
    CertTarget target;
    target.container = nodePosition(containerNode);
    target.name = node->data(0, kContainerNameRole).toByteArray().toStdString();
    target.spec = node->data(0, kKeySpecRole).toInt();
    return target;
}

} // namespace

void setCertNodeData(QTreeWidgetItem* node, const QByteArray& containerName, int32_t spec) {
    node->setData(0, kContainerNameRole, containerName);
    if (spec != 0)
        node->setData(0, kKeySpecRole, spec);
}

QTreeWidgetItem* selectedNode(const QTreeWidget* tree) {
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

std::optional<CertTarget> selectedCertificate(const QTreeWidget* tree) {
    QTreeWidgetItem* node = selectedNode(tree);
    if (!node || nodeLevel(node) != 2 || nodePosition(node) != 0 || !node->data(0, kKeySpecRole).isValid())
        return std::nullopt;
    return targetOf(node, node->parent()->parent());
}

std::optional<CertTarget> selectedContainer(const QTreeWidget* tree) {
    QTreeWidgetItem* node = selectedNode(tree);
    if (!node || nodeLevel(node) != 0 || !node->data(0, kContainerNameRole).isValid())
        return std::nullopt;
    return targetOf(node, node);
}

QTreeWidgetItem* certificateNode(const QTreeWidget* tree, const std::string& name, int32_t spec) {
    const QByteArray wanted = QByteArray::fromStdString(name);
    for (int container = 0; container < tree->topLevelItemCount(); ++container) {
        QTreeWidgetItem* containerNode = tree->topLevelItem(container);
        if (containerNode->data(0, kContainerNameRole).toByteArray() != wanted)
            continue;
        for (int certificate = 0; certificate < containerNode->childCount(); ++certificate) {
            QTreeWidgetItem* subject = containerNode->child(certificate)->child(0);
            if (subject && subject->data(0, kKeySpecRole).toInt() == spec)
                return subject;
        }
    }
    return nullptr;
}

} // namespace ui
