// What a node of the certificate tree stands for. Every container node carries its container's name bytes,
// every certificate node and the nodes under it also the key specification they were built for, so the
// actions work on exactly what the node shows even when the key's container list was read again since.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string>

class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

inline constexpr int kContainerNameRole = Qt::UserRole + 110;
inline constexpr int kKeySpecRole = Qt::UserRole + 111;

struct CertTarget {
    int container = -1; // position of the container node
    std::string name;   // the container's name, byte for byte as the key has it
    int32_t spec = 0;   // 1 exchange, 2 signature; 0 for a container
};

// Records the container (and the key specification, when not 0) on `node`.
void setCertNodeData(QTreeWidgetItem* node, const QByteArray& containerName, int32_t spec);

// The selected node of `tree`, or nullptr.
QTreeWidgetItem* selectedNode(const QTreeWidget* tree);
// The certificate a selected subject node (level 2, first child) stands for; nothing for any other node.
std::optional<CertTarget> selectedCertificate(const QTreeWidget* tree);
// The container a selected container node (level 0) stands for; nothing for any other node or for the
// node that says the key has no containers.
std::optional<CertTarget> selectedContainer(const QTreeWidget* tree);
// The subject node of the certificate of `spec` in the container called `name`; nullptr when the tree shows
// none.
QTreeWidgetItem* certificateNode(const QTreeWidget* tree, const std::string& name, int32_t spec);

} // namespace ui
