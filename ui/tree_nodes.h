// Where a node stands in its tree: its level (top-level nodes are level 0) and its position among its
// siblings.
#pragma once

class QTreeWidgetItem;

namespace ui {

int nodeLevel(const QTreeWidgetItem* node);
// The node's index among its siblings (top-level nodes count among the top-level nodes).
int nodePosition(QTreeWidgetItem* node);
// Expands `node` and every node below it.
void expandWithDescendants(QTreeWidgetItem* node);

} // namespace ui
