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

struct SpinRange {
    int minimum;
    int maximum;
    int value;
};

// A spin box limited to the range with its caption on the left and the fixed range hint "(min--max)" on the
// right; the three widgets go to `label`, `spin` and `hint`.
void addSpinRow(QWidget* tab, int row, const char* labelName, const char* spinName, const char* hintName,
                SpinRange range, QLabel*& label, QSpinBox*& spin, QLabel*& hint) {
    label = rowLabel(tab, labelName, row);
    spin = makeSpin(tab, spinName, QRect(kFieldLeft, rowTop(row), kSpinWidth, kRowHeight), range.minimum,
                    range.maximum, range.value);
    hint = makeLabel(tab, hintName, QRect(kHintLeft, rowTop(row), 80, kRowHeight));
    hint->setText(QStringLiteral("(%1--%2)").arg(range.minimum).arg(range.maximum));
}

constexpr SpinRange kPinLengthRange{4, 16, 4};
constexpr SpinRange kPinMaxLengthRange{4, 16, 16};
constexpr SpinRange kRetryRange{1, 15, 10};

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
    addSpinRow(TabSheet13, 1, "lInit_SOPINLenMin", "edtInit_SOPINlenMin", "Label23", kPinLengthRange,
               lInit_SOPINLenMin, edtInit_SOPINlenMin, Label23);
    addSpinRow(TabSheet13, 2, "lInit_SOPINLenMax", "edtInit_SOPINlenMax", "Label13", kPinMaxLengthRange,
               lInit_SOPINLenMax, edtInit_SOPINlenMax, Label13);
    addSpinRow(TabSheet13, 3, "LInit_TryCount_SOPIN", "edtInit_MaxCount_SOPIN", "Label21", kRetryRange,
               LInit_TryCount_SOPIN, edtInit_MaxCount_SOPIN, Label21);
}

void InitPage::buildUserPinTab() {
    TabSheet14 = addTab("TabSheet14");
    lInit_UPIN = rowLabel(TabSheet14, "lInit_UPIN", 0);
    edtInit_UPIN = rowEdit(TabSheet14, "edtInit_UPIN", 0, kPinMaxLength, "40729316");
    addSpinRow(TabSheet14, 1, "lInit_PINLenMin", "edtInit_PINlenMin", "Label31", kPinLengthRange,
               lInit_PINLenMin, edtInit_PINlenMin, Label31);
    addSpinRow(TabSheet14, 2, "lINit_PINLenMax", "edtInit_PINLenMax", "Label28", kPinMaxLengthRange,
               lINit_PINLenMax, edtInit_PINLenMax, Label28);
    addSpinRow(TabSheet14, 3, "LInit_TryCount", "edtInit_MaxCount", "Label29", kRetryRange, LInit_TryCount,
               edtInit_MaxCount, Label29);
}

} // namespace ui
