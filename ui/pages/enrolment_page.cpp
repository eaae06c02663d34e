#include "enrolment_page.h"

#include "i18n/string_table.h"
#include "ui/form_widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <span>

namespace ui {

namespace {

constexpr int kLabelWidth = 84;
constexpr int kWideLabelWidth = 120; // the alternative names' caption, alone on its row
constexpr int kFieldWidth = 128;
constexpr int kLeftColumn = 4;
constexpr int kRightColumn = 226;
constexpr int kRowStep = 24;
constexpr int kFirstRow = 4;
constexpr int kLongestField = 64; // the longest value of a name attribute
constexpr int kLongestDays = 36500;

int row(int index) {
    return kFirstRow + index * kRowStep;
}

struct Caption {
    const char* control;
    const char* key;
};

constexpr Caption kLabels[] = {{"lblEnrolPlace", "Enrol_Container"}, {"lblEnrolContainer", "Enrol_NewName"},
                               {"lblEnrolSpec", "Enrol_KeySpec"},    {"lblEnrolAlgorithm", "Enrol_Algorithm"},
                               {"lblEnrolUsage", "Enrol_Usage"},     {"lblEnrolDays", "Enrol_Days"},
                               {"lblEnrolCN", "Enrol_CommonName"},   {"lblEnrolO", "Enrol_Organisation"},
                               {"lblEnrolOU", "Enrol_Unit"},         {"lblEnrolL", "Enrol_City"},
                               {"lblEnrolST", "Enrol_State"},        {"lblEnrolC", "Enrol_Country"},
                               {"lblEnrolEmail", "Enrol_Email"},     {"lblEnrolAltNames", "Enrol_AltNames"},
                               {"lblEnrolWorking", "Enrol_Working"}};

// The usage templates in the order of cbEnrolUsage, which is the order of their codes.
constexpr const char* kUsageKeys[] = {"Enrol_UsageNone",  "Enrol_UsageClient",      "Enrol_UsageServer",
                                      "Enrol_UsageEmail", "Enrol_UsageCodeSigning", "Enrol_UsageSmartCard"};

constexpr const char* kSpecKeys[] = {"Enrol_Exchange", "Enrol_Signature"};

// Gives the items of `box` the texts of `keys`, adding the items on the first call.
void setItemTexts(QComboBox* box, std::span<const char* const> keys) {
    int index = 0;
    for (const char* key : keys) {
        if (index < box->count())
            box->setItemText(index, i18n::text(key));
        else
            box->addItem(i18n::text(key));
        ++index;
    }
}

} // namespace

EnrolmentPage::EnrolmentPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet12"));
    buildPlaceColumn();
    buildSubjectColumn();
    buildFooter();
    applyTexts();
}

QLabel* EnrolmentPage::label(const char* name, int left, int top) {
    return makeLabel(this, name, QRect(left, top, kLabelWidth, kRowHeight));
}

QLineEdit* EnrolmentPage::field(const char* name, int left, int top) {
    return makeEdit(this, name, QRect(left + kLabelWidth, top, kFieldWidth, kRowHeight), kLongestField);
}

QComboBox* EnrolmentPage::choice(const char* name, int left, int top) {
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(left + kLabelWidth, top, kFieldWidth, kRowHeight);
    return box;
}

void EnrolmentPage::buildPlaceColumn() {
    const char* labels[] = {"lblEnrolPlace",     "lblEnrolContainer", "lblEnrolSpec",
                            "lblEnrolAlgorithm", "lblEnrolUsage",     "lblEnrolDays"};
    for (int i = 0; i < 6; ++i)
        label(labels[i], kLeftColumn, row(i));
    cbEnrolPlace = choice("cbEnrolPlace", kLeftColumn, row(0));
    edtEnrolContainer = field("edtEnrolContainer", kLeftColumn, row(1));
    cbEnrolSpec = choice("cbEnrolSpec", kLeftColumn, row(2));
    cbEnrolAlgorithm = choice("cbEnrolAlgorithm", kLeftColumn, row(3));
    cbEnrolUsage = choice("cbEnrolUsage", kLeftColumn, row(4));
    seEnrolDays =
        makeSpin(this, "seEnrolDays", QRect(kLeftColumn + kLabelWidth, row(5), kFieldWidth, kRowHeight), 1,
                 kLongestDays, 365);
}

void EnrolmentPage::buildSubjectColumn() {
    const char* labels[] = {"lblEnrolCN", "lblEnrolO", "lblEnrolOU",   "lblEnrolL",
                            "lblEnrolST", "lblEnrolC", "lblEnrolEmail"};
    for (int i = 0; i < 7; ++i)
        label(labels[i], kRightColumn, row(i));
    edtEnrolCN = field("edtEnrolCN", kRightColumn, row(0));
    edtEnrolO = field("edtEnrolO", kRightColumn, row(1));
    edtEnrolOU = field("edtEnrolOU", kRightColumn, row(2));
    edtEnrolL = field("edtEnrolL", kRightColumn, row(3));
    edtEnrolST = field("edtEnrolST", kRightColumn, row(4));
    edtEnrolC = field("edtEnrolC", kRightColumn, row(5));
    edtEnrolC->setMaxLength(2);
    edtEnrolEmail = field("edtEnrolEmail", kRightColumn, row(6));
}

void EnrolmentPage::buildFooter() {
    makeLabel(this, "lblEnrolAltNames", QRect(kLeftColumn, row(7) + 4, kWideLabelWidth, kRowHeight));
    edtEnrolAltNames = makeEdit(
        this, "edtEnrolAltNames",
        QRect(kLeftColumn + kWideLabelWidth, row(7) + 4, kPageWidth - kWideLabelWidth - 12, kRowHeight),
        1024);
    edtEnrolAltNames->setPlaceholderText(QStringLiteral("DNS:host.example.org,email:name@example.org"));
    lblEnrolWorking = makeLabel(this, "lblEnrolWorking", QRect(kLeftColumn, row(8) + 8, kPageWidth - 8, 36),
                                Qt::AlignLeft | Qt::AlignTop);
    lblEnrolWorking->setWordWrap(true);
    pbEnrol = new QProgressBar(this);
    pbEnrol->setObjectName(QStringLiteral("pbEnrol"));
    pbEnrol->setGeometry(kLeftColumn, row(10) + 8, kPageWidth - 8, 14);
    pbEnrol->setTextVisible(false);
    btnEnrolRequest = new QPushButton(this);
    btnEnrolRequest->setObjectName(QStringLiteral("btnEnrolRequest"));
    btnEnrolRequest->setGeometry(kPageWidth - 264, kPageHeight - kButtonHeight - 6, 124, kButtonHeight);
    btnEnrolSelfSigned = new QPushButton(this);
    btnEnrolSelfSigned->setObjectName(QStringLiteral("btnEnrolSelfSigned"));
    btnEnrolSelfSigned->setGeometry(kPageWidth - 132, kPageHeight - kButtonHeight - 6, 124, kButtonHeight);
    showWorking(false);
}

void EnrolmentPage::applyTexts() {
    for (const Caption& caption : kLabels)
        if (auto* shown = findChild<QLabel*>(QString::fromLatin1(caption.control)))
            shown->setText(i18n::text(caption.key));
    setItemTexts(cbEnrolSpec, kSpecKeys);
    setItemTexts(cbEnrolUsage, kUsageKeys);
    if (cbEnrolPlace->count() > 0)
        cbEnrolPlace->setItemText(0, i18n::text("Enrol_NewContainer"));
    btnEnrolRequest->setText(i18n::text("Enrol_btnRequest"));
    btnEnrolSelfSigned->setText(i18n::text("Enrol_btnSelfSigned"));
}

void EnrolmentPage::showWorking(bool working) {
    lblEnrolWorking->setVisible(working);
    pbEnrol->setVisible(working);
    pbEnrol->setRange(0, working ? 0 : 1); // a range of 0..0 is Qt's busy indicator
    for (QWidget* input : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (input != lblEnrolWorking && input != pbEnrol && !qobject_cast<QLabel*>(input))
            input->setEnabled(!working);
}

} // namespace ui
