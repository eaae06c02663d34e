// A numbered list of small icons shared by the trees of the main window; nodes refer to icons by index.
#pragma once

#include <QIcon>
#include <QList>
#include <QObject>

class QTreeWidgetItem;

namespace ui {

class ImageList : public QObject {
    Q_OBJECT
public:
    ImageList(const QList<QIcon>& icons, QObject* parent);

    int count() const { return static_cast<int>(icons_.size()); }
    // The icon at `index`; an empty icon for an index outside the list.
    QIcon icon(int index) const;

private:
    QList<QIcon> icons_;
};

// The item data role that holds a tree node's image index.
inline constexpr int kImageIndexRole = Qt::UserRole + 100;

// Shows icon `index` of `images` on `node` (normal and selected alike) and records the index on the node.
void setNodeImage(QTreeWidgetItem* node, const ImageList& images, int index);
// The image index recorded on `node`; -1 when it has none.
int nodeImage(const QTreeWidgetItem* node);

// The item data role that holds the image index a node shows while it is expanded.
inline constexpr int kExpandedImageIndexRole = Qt::UserRole + 101;

// Like setNodeImage, and the node shows icon `expandedIndex` while it is expanded.
void setNodeImages(QTreeWidgetItem* node, const ImageList& images, int index, int expandedIndex);
// The expanded image index recorded on `node`; -1 when it has none.
int nodeExpandedImage(const QTreeWidgetItem* node);

} // namespace ui
