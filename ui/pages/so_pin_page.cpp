#include "so_pin_page.h"

#include "pin_form.h"
#include "ui/main_actions.h"

namespace ui {

SoPinPage::SoPinPage(const MainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet9"));
    const PinForm form = buildPinForm(this,
                                      {"RzGroupBox4",
                                       {"LAdmin_Old_SOPIN", "LAdmin_New_SOPIN1", "LAdmin_new_SOPIN2"},
                                       {"edtSPIN", "edtNewSPIN1", "edtNewSPIN2"},
                                       "Button10"},
                                      actions.AcSetSOPIN);
    RzGroupBox4 = form.frame;
    LAdmin_Old_SOPIN = form.labels[0];
    LAdmin_New_SOPIN1 = form.labels[1];
    LAdmin_new_SOPIN2 = form.labels[2];
    edtSPIN = form.fields[0];
    edtNewSPIN1 = form.fields[1];
    edtNewSPIN2 = form.fields[2];
    Button10 = form.button;
}

} // namespace ui
