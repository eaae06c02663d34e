// Page 5 (TabSheet6): the report of the host inspection.
#pragma once

#include <QWidget>

class QTableWidget;

namespace ui {

class SystemCheckPage : public QWidget {
    Q_OBJECT
public:
    explicit SystemCheckPage(QWidget* parent);

    QTableWidget* LVSystemInfo;
};

} // namespace ui
