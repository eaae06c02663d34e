#include "image_list.h"

#include <QTreeWidgetItem>

namespace ui {

ImageList::ImageList(const QList<QIcon>& icons, QObject* parent) : QObject(parent), icons_(icons) {}

QIcon ImageList::icon(int index) const {
    if (index < 0 || index >= count())
        return QIcon();
    return icons_[index];
}

void setNodeImage(QTreeWidgetItem* node, const ImageList& images, int index) {
    node->setIcon(0, images.icon(index));
    node->setData(0, kImageIndexRole, index);
}

int nodeImage(const QTreeWidgetItem* node) {
    const QVariant index = node->data(0, kImageIndexRole);
    return index.isValid() ? index.toInt() : -1;
}

void setNodeImages(QTreeWidgetItem* node, const ImageList& images, int index, int expandedIndex) {
    // A tree paints the On state of an icon for an expanded node and the Off state otherwise.
    QIcon icon;
    const QIcon collapsed = images.icon(index);
    const QIcon expanded = images.icon(expandedIndex);
    for (const QSize& size : collapsed.availableSizes())
        icon.addPixmap(collapsed.pixmap(size), QIcon::Normal, QIcon::Off);
    for (const QSize& size : expanded.availableSizes())
        icon.addPixmap(expanded.pixmap(size), QIcon::Normal, QIcon::On);
    node->setIcon(0, icon);
    node->setData(0, kImageIndexRole, index);
    node->setData(0, kExpandedImageIndexRole, expandedIndex);
}

int nodeExpandedImage(const QTreeWidgetItem* node) {
    const QVariant index = node->data(0, kExpandedImageIndexRole);
    return index.isValid() ? index.toInt() : -1;
}

} // namespace ui
