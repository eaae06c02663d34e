#include "key_name_page.h"

#include "token/flows/set_key_label.h"
#include "ui/action_button.h"
#include "ui/form_widgets.h"
#include "ui/main_actions.h"
#include "ui/utf8_length_limit.h"

#include <QLabel>
#include <QLineEdit>

namespace ui {

KeyNamePage::KeyNamePage(const MainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet3"));
    Label8 = makeLabel(this, "Label8", QRect(30, 50, 390, 20));
    edtKeyName = makeEdit(this, "edtKeyName", QRect(30, 75, 300, kRowHeight), kNameMaxLength);
    // The key keeps at most this many bytes of UTF-8 in its label.
    new Utf8LengthLimit(*edtKeyName, static_cast<int>(token::flows::kLongestLabel));
    RzButton1 = makeButton(this, "RzButton1", actions.AcSetKeyName, QRect(210, 120, 120, kButtonHeight));
}

} // namespace ui
