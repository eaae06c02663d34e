#include "iso_page.h"

#include "ui/action_button.h"
#include "ui/button_edit.h"
#include "ui/form_widgets.h"
#include "ui/input_hold.h"
#include "ui/main_actions.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

namespace ui {

namespace {

constexpr int kLeft = 15;
constexpr int kFieldWidth = 389;

} // namespace

IsoPage::IsoPage(const MainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet11"));
    RzGroupBox6 = makeFrame(this, "RzGroupBox6", QRect(14, 16, 420, 250));
    LAdmin_UPIN = makeLabel(RzGroupBox6, "LAdmin_UPIN", QRect(kLeft, 20, kFieldWidth, 20));
    edtUPINForDownISO = makeEdit(RzGroupBox6, "edtUPINForDownISO", QRect(kLeft, 42, kFieldWidth, kRowHeight),
                                 kPinMaxLength, Echo::Masked);
    LAdmin_ISOPath = makeLabel(RzGroupBox6, "LAdmin_ISOPath", QRect(kLeft, 80, kFieldWidth, 20));
    edtPath = new ButtonEdit(RzGroupBox6);
    edtPath->setObjectName(QStringLiteral("edtPath"));
    edtPath->button()->setObjectName(QStringLiteral("edtPathButton"));
    edtPath->setGeometry(kLeft, 102, kFieldWidth, kRowHeight);
    PBISO = new QProgressBar(RzGroupBox6);
    PBISO->setObjectName(QStringLiteral("PBISO"));
    PBISO->setGeometry(kLeft, 145, 388, 22);
    PBISO->setTextVisible(true);
    PBISO->setFormat(QStringLiteral("%p%"));
    PBISO->setValue(0);
    Button8 = makeButton(RzGroupBox6, "Button8", actions.AcDownISO, QRect(284, 200, 120, kButtonHeight));
    btnCancelISO = new QPushButton(RzGroupBox6);
    btnCancelISO->setObjectName(QStringLiteral("btnCancelISO"));
    btnCancelISO->setGeometry(154, 200, 120, kButtonHeight);
    // The one control of the page that answers while the write it stops holds the page's input.
    btnCancelISO->setProperty(kTakesInputWhileBusy, true);
    btnCancelISO->hide();
}

} // namespace ui
