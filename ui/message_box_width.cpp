#include "message_box_width.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace ui {

int titleWidth(const QMessageBox& box) {
    return QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) + kTitleBarReserve;
}

void keepTitleVisible(QMessageBox& box) {
    // QMessageBox computes its own size when shown and overrides a minimum width set on it; a spacer across
    // the whole grid is respected.
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    auto* spacer = new QSpacerItem(titleWidth(box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    grid->addItem(spacer, grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace ui
