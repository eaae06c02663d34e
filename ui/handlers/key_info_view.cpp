#include "key_info_view.h"

#include "token/key_table.h"

#include <QByteArrayView>
#include <QTableWidget>

namespace ui {

void AddInfoRow(QTableWidget* list, const QString& caption, const QString& value) {
    const int row = list->rowCount();
    list->insertRow(row);
    list->setItem(row, 0, new QTableWidgetItem(caption));
    list->setItem(row, 1, new QTableWidgetItem(value));
}

QString versionText(int32_t version) {
    // C++ division truncates toward zero and the remainder takes the sign of the dividend.
    return QString::asprintf("%d.%.2d", version / 256, version % 256);
}

QString keyLabel(const token::TZartoInfo& key) {
    return QString::fromUtf8(
        QByteArrayView(key.label, static_cast<qsizetype>(qstrnlen(key.label, sizeof key.label))));
}

} // namespace ui
