#include "system_check_page.h"

#include "ui/form_widgets.h"

#include <QTableWidget>

namespace ui {

SystemCheckPage::SystemCheckPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet6"));
    LVSystemInfo = makeReportList(this, "LVSystemInfo", QRect(0, 0, kPageWidth, kPageHeight), {150, 265});
}

} // namespace ui
