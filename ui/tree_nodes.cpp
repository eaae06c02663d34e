#include "tree_nodes.h"

#include <QTreeWidget>

namespace ui {

int nodeLevel(const QTreeWidgetItem* node) {
    int level = 0;
    for (const QTreeWidgetItem* parent = node->parent(); parent; parent = parent->parent())
        ++level;
    return level;
}

int nodePosition(QTreeWidgetItem* node) {
    if (QTreeWidgetItem* parent = node->parent())
        return parent->indexOfChild(node);
    return node->treeWidget()->indexOfTopLevelItem(node);
}

void expandWithDescendants(QTreeWidgetItem* node) {
    node->setExpanded(true);
    for (int i = 0; i < node->childCount(); ++i)
        expandWithDescendants(node->child(i));
}

} // namespace ui
