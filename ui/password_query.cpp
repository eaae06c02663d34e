#include "password_query.h"

#include "form_widgets.h"
#include "pin_edit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

namespace ui {

namespace {

// The dialog units of the font: the average width of the 52 letters measured in one piece (rounded down) and
// the height of that text.
struct DialogUnits {
    int x;
    int y;

    explicit DialogUnits(const QFont& font) {
        const QFontMetrics metrics(font);
        const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        x = metrics.horizontalAdvance(letters) / 52;
        y = metrics.height();
    }
    // n * unit / divisor, rounded half away from zero.
    static int mulDiv(int n, int unit, int divisor) {
        return static_cast<int>(std::lround(static_cast<double>(n) * unit / divisor));
    }
    int horizontal(int n) const { return mulDiv(n, x, 4); }
    int vertical(int n) const { return mulDiv(n, y, 8); }
};

constexpr int kGapBelowPrompt = 5;
constexpr int kGapBelowField = 15;
constexpr int kBottomMargin = 13;

} // namespace

PasswordQuery::PasswordQuery(QWidget* owner, const PasswordRequest& request) : QDialog(owner) {
    setObjectName(QStringLiteral("PasswordQuery"));
    setWindowTitle(request.caption);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    setModal(true);
    promptLabel = new QLabel(this);
    promptLabel->setObjectName(QStringLiteral("PasswordQueryPrompt"));
    passwordEdit = new PinEdit(this);
    passwordEdit->setObjectName(QStringLiteral("PasswordQueryEdit"));
    passwordEdit->setMaxLength(kLongestPassword);
    maskEdit(passwordEdit);
    passwordEdit->setText(request.defaultText);
    passwordEdit->selectAll();
    confirmButton = new QPushButton(request.confirmCaption, this);
    confirmButton->setObjectName(QStringLiteral("PasswordQueryConfirm"));
    confirmButton->setDefault(true);
    cancelButton = new QPushButton(request.cancelCaption, this);
    cancelButton->setObjectName(QStringLiteral("PasswordQueryCancel"));
    connect(confirmButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    layOut(request.prompt);
}

void PasswordQuery::layOut(const QString& prompt) {
    const DialogUnits units(font());
    const int left = units.horizontal(8);
    const int promptWidth = units.horizontal(164);
    promptLabel->setTextFormat(Qt::PlainText);
    promptLabel->setWordWrap(true);
    promptLabel->setText(prompt);
    const QRect promptRect = fontMetrics().boundingRect(QRect(0, 0, promptWidth, 0x7FFF),
                                                        Qt::TextWordWrap | Qt::AlignLeft, prompt);
    promptLabel->setGeometry(left, units.vertical(8), promptWidth, promptRect.height());
    const int editTop = promptLabel->geometry().bottom() + 1 + kGapBelowPrompt;
    passwordEdit->setGeometry(left, editTop, units.horizontal(200), passwordEdit->sizeHint().height());
    const int buttonTop = passwordEdit->geometry().bottom() + 1 + kGapBelowField;
    const int buttonWidth = units.horizontal(50);
    const int buttonHeight = units.vertical(14);
    confirmButton->setGeometry(units.horizontal(38), buttonTop, buttonWidth, buttonHeight);
    cancelButton->setGeometry(units.horizontal(122), buttonTop, buttonWidth, buttonHeight);
    setFixedSize(units.horizontal(220), buttonTop + buttonHeight + kBottomMargin);
}

void PasswordQuery::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWidget* owner = parentWidget()) {
        QRect frame = frameGeometry();
        frame.moveCenter(owner->window()->frameGeometry().center());
        move(frame.topLeft());
    }
    passwordEdit->setFocus();
}

platform::SecretBytes PasswordQuery::takePassword() {
    platform::SecretBytes password = pinBytes(*passwordEdit);
    passwordEdit->clear();
    return password;
}

} // namespace ui
