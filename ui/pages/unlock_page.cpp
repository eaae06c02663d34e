#include "unlock_page.h"

#include "pin_form.h"
#include "ui/main_actions.h"

namespace ui {

UnlockPage::UnlockPage(const MainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet10"));
    const PinForm form = buildPinForm(this,
                                      {"RzGroupBox5",
                                       {"LAdmin_SOPIN", "LAdmin_New_UPIN1", "LAdmin_New_UPIN2"},
                                       {"edtSPINForUnLock", "edtUPINForUnlock1", "edtUPINForUnlock2"},
                                       "Button11"},
                                      actions.AcUnlock);
    RzGroupBox5 = form.frame;
    LAdmin_SOPIN = form.labels[0];
    LAdmin_New_UPIN1 = form.labels[1];
    LAdmin_New_UPIN2 = form.labels[2];
    edtSPINForUnLock = form.fields[0];
    edtUPINForUnlock1 = form.fields[1];
    edtUPINForUnlock2 = form.fields[2];
    Button11 = form.button;
}

} // namespace ui
