#include "key_info_page.h"

#include "ui/action_button.h"
#include "ui/form_widgets.h"
#include "ui/main_actions.h"

#include <QTableWidget>

namespace ui {

KeyInfoPage::KeyInfoPage(const MainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet1"));
    constexpr int margin = 4;
    const QRect button(kPageWidth - 120 - margin, kPageHeight - kButtonHeight - margin, 120, kButtonHeight);
    lv = makeReportList(this, "lv", QRect(0, 0, kPageWidth, button.top() - margin), {150, 270});
    Button7 = makeButton(this, "Button7", actions.AcFindKeyRefresh, button);
}

} // namespace ui
