#include "pin_form.h"

#include "ui/action_button.h"
#include "ui/form_widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace ui {

namespace {

const QRect kFrame(14, 16, 420, 170);
constexpr int kFirstRowTop = 32;
constexpr int kRowSpacing = 45;
constexpr int kLabelLeft = 10;
constexpr int kLabelWidth = 150;
constexpr int kFieldLeft = 170;
constexpr int kFieldWidth = 210;
const QRect kButton(314, 204, 120, kButtonHeight);

} // namespace

PinForm buildPinForm(QWidget* page, const PinFormNames& names, QAction* action) {
    PinForm form{};
    form.frame = makeFrame(page, names.frame, kFrame);
    for (std::size_t row = 0; row < names.fields.size(); ++row) {
        const int top = kFirstRowTop + static_cast<int>(row) * kRowSpacing;
        form.labels[row] =
            makeLabel(form.frame, names.labels[row], QRect(kLabelLeft, top, kLabelWidth, kRowHeight),
                      Qt::AlignRight | Qt::AlignVCenter);
        form.fields[row] =
            makeEdit(form.frame, names.fields[row], QRect(kFieldLeft, top, kFieldWidth, kRowHeight),
                     kPinMaxLength, Echo::Masked);
    }
    form.button = makeButton(page, names.button, action, kButton);
    runActionOnEnter(form.fields.back(), action);
    return form;
}

} // namespace ui
