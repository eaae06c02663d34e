#include "init_page.h"

#include "ui/action_button.h"
#include "ui/form_widgets.h"
#include "ui/main_actions.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>

namespace ui {

namespace {

constexpr int kFirstRowTop = 24;
constexpr int kRowSpacing = 40;
constexpr int kLabelWidth = 175;
constexpr int kFieldLeft = 190;
constexpr int kFieldWidth = 200;
constexpr int kSpinWidth = 70;
constexpr int kHintLeft = kFieldLeft + kSpinWidth + 6;

int rowTop(int row) {
    return kFirstRowTop + row * kRowSpacing;
}

QLabel* rowLabel(QWidget* tab, const char* name, int row) {
    return makeLabel(tab, name, QRect(4, rowTop(row), kLabelWidth, kRowHeight),
                     Qt::AlignRight | Qt::AlignVCenter);
}

QLineEdit* rowEdit(QWidget* tab, const char* name, int row, int maxLength, const char* text) {
    QLineEdit* edit = makeEdit(tab, name, QRect(kFieldLeft, rowTop(row), kFieldWidth, kRowHeight), maxLength);
    edit->setText(QString::fromUtf8(text));
    return edit;
}

struct SpinRow {
    QLabel* label;
    QSpinBox* spin;
    QLabel* hint;
};

// A spin box limited to minimum..maximum with its fixed range hint "(min--max)" to the right.
SpinRow spinRow(QWidget* tab, const char* label, const char* spin, const char* hint, int row, int minimum,
                int maximum, int value) {
    SpinRow made{
        rowLabel(tab, label, row),
        makeSpin(tab, spin, QRect(kFieldLeft, rowTop(row), kSpinWidth, kRowHeight), minimum, maximum, value),
        makeLabel(tab, hint, QRect(kHintLeft, rowTop(row), 80, kRowHeight))};
    made.hint->setText(QStringLiteral("(%1--%2)").arg(minimum).arg(maximum));
    return made;
}

} // namespace

InitPage::InitPage(const MainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet8"));
    PCInit = new QTabWidget(this);
    PCInit->setObjectName(QStringLiteral("PCInit"));
    PCInit->setGeometry(10, 4, 427, 279);
    buildBasicTab();
    buildSoPinTab();
    buildUserPinTab();
    Button14 = makeButton(this, "Button14", actions.AcInit, QRect(317, 289, 120, kButtonHeight));
}

QWidget* InitPage::addTab(const char* name) {
    auto* tab = new QWidget(PCInit);
    tab->setObjectName(QString::fromLatin1(name));
    PCInit->addTab(tab, QString());
    return tab;
}

void InitPage::buildBasicTab() {
    TabSheet12 = addTab("TabSheet12");
    lInit_keyname = rowLabel(TabSheet12, "lInit_keyname", 0);
    edtInit_KeyName = rowEdit(TabSheet12, "edtInit_KeyName", 0, kNameMaxLength, "Pellor");
    lInit_gs = rowLabel(TabSheet12, "lInit_gs", 1);
    edtInit_GS = rowEdit(TabSheet12, "edtInit_GS", 1, kNameMaxLength, "Norvale");
    LInit_Model = rowLabel(TabSheet12, "LInit_Model", 2);
    edtInit_UnLockPIN = rowEdit(TabSheet12, "edtInit_UnLockPIN", 2, kNameMaxLength, "Norvale");
}

void InitPage::buildSoPinTab() {
    TabSheet13 = addTab("TabSheet13");
    LInit_SOPIN = rowLabel(TabSheet13, "LInit_SOPIN", 0);
    edtInit_SPIN = rowEdit(TabSheet13, "edtInit_SPIN", 0, kPinMaxLength, "qzvke");
    const SpinRow minimum =
        spinRow(TabSheet13, "lInit_SOPINLenMin", "edtInit_SOPINlenMin", "Label23", 1, 4, 16, 4);
    lInit_SOPINLenMin = minimum.label;
    edtInit_SOPINlenMin = minimum.spin;
    Label23 = minimum.hint;
    const SpinRow maximum =
        spinRow(TabSheet13, "lInit_SOPINLenMax", "edtInit_SOPINlenMax", "Label13", 2, 4, 16, 16);
    lInit_SOPINLenMax = maximum.label;
    edtInit_SOPINlenMax = maximum.spin;
    Label13 = maximum.hint;
    const SpinRow retries =
        spinRow(TabSheet13, "LInit_TryCount_SOPIN", "edtInit_MaxCount_SOPIN", "Label21", 3, 1, 15, 10);
    LInit_TryCount_SOPIN = retries.label;
    edtInit_MaxCount_SOPIN = retries.spin;
    Label21 = retries.hint;
}

void InitPage::buildUserPinTab() {
    TabSheet14 = addTab("TabSheet14");
    lInit_UPIN = rowLabel(TabSheet14, "lInit_UPIN", 0);
    edtInit_UPIN = rowEdit(TabSheet14, "edtInit_UPIN", 0, kPinMaxLength, "40729316");
    const SpinRow minimum =
        spinRow(TabSheet14, "lInit_PINLenMin", "edtInit_PINlenMin", "Label31", 1, 4, 16, 4);
    lInit_PINLenMin = minimum.label;
    edtInit_PINlenMin = minimum.spin;
    Label31 = minimum.hint;
    const SpinRow maximum =
        spinRow(TabSheet14, "lINit_PINLenMax", "edtInit_PINLenMax", "Label28", 2, 4, 16, 16);
    lINit_PINLenMax = maximum.label;
    edtInit_PINLenMax = maximum.spin;
    Label28 = maximum.hint;
    const SpinRow retries =
        spinRow(TabSheet14, "LInit_TryCount", "edtInit_MaxCount", "Label29", 3, 1, 15, 10);
    LInit_TryCount = retries.label;
    edtInit_MaxCount = retries.spin;
    Label29 = retries.hint;
}

} // namespace ui
