#include "user_pin_page.h"

#include "pin_form.h"
#include "ui/main_actions.h"

namespace ui {

UserPinPage::UserPinPage(const MainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet2"));
    const PinForm form = buildPinForm(this,
                                      {"RzGroupBox1",
                                       {"Label2", "Label3", "Label4"},
                                       {"edtOldUPin", "edtNewUPin1", "edtNewUPin2"},
                                       "btnOK"},
                                      actions.AcSetUserPIN);
    RzGroupBox1 = form.frame;
    Label2 = form.labels[0];
    Label3 = form.labels[1];
    Label4 = form.labels[2];
    edtOldUPin = form.fields[0];
    edtNewUPin1 = form.fields[1];
    edtNewUPin2 = form.fields[2];
    btnOK = form.button;
}

} // namespace ui
