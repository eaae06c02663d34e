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

} // namespace ui
