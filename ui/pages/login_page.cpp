#include "login_page.h"

#include "ui/action_button.h"
#include "ui/builtin_pictures.h"
#include "ui/focus_highlight_edit.h"
#include "ui/form_widgets.h"
#include "ui/main_actions.h"

#include <QLabel>
#include <QShortcut>

namespace ui {

namespace {

constexpr int kPinRowTop = 120;

QFont keyNameFont() {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(14);
    font.setBold(true);
    return font;
}

} // namespace

LoginPage::LoginPage(const MainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet4"));
    buildKeyNameRows();
    buildPinRow();
    btnlogon = makeButton(this, "btnlogon", actions.AcLogin, QRect(86, 170, 120, kButtonHeight));
    RzButton3 = makeButton(this, "RzButton3", actions.AcCancel, QRect(231, 170, 120, kButtonHeight));
    runActionOnEnter(edtUPIN, actions.AcLogin);
    // The cancel button answers Escape while this page is showing (a window shortcut needs its owner
    // visible).
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, RzButton3, &QPushButton::click);
}

void LoginPage::buildKeyNameRows() {
    Image2 = makeLabel(this, "Image2", QRect(24, 30, kLoginPictureSize, kLoginPictureSize));
    Image2->setPixmap(loginPicture());
    Label14 = makeLabel(this, "Label14", QRect(88, 30, 350, 20));
    Lkeyname = makeLabel(this, "Lkeyname", QRect(88, 54, 350, 22));
    Lkeyname->setFont(keyNameFont());
    QPalette palette = Lkeyname->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    Lkeyname->setPalette(palette);
}

void LoginPage::buildPinRow() {
    RzLabel1 =
        makeLabel(this, "RzLabel1", QRect(4, kPinRowTop, 78, kRowHeight), Qt::AlignRight | Qt::AlignVCenter);
    edtUPIN = new FocusHighlightEdit(this);
    edtUPIN->setObjectName(QStringLiteral("edtUPIN"));
    edtUPIN->setGeometry(86, kPinRowTop, 265, kRowHeight);
    edtUPIN->setMaxLength(kPinMaxLength);
    maskEdit(edtUPIN);
    Label10 = makeLabel(this, "Label10", QRect(356, kPinRowTop, 40, kRowHeight));
    connect(edtUPIN, &QLineEdit::textChanged, this, &LoginPage::showPinLength);
}

void LoginPage::showPinLength() {
    Label10->setText(QString::number(edtUPIN->text().size()));
}

} // namespace ui
