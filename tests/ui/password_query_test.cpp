// The SO PIN prompt: its measures follow the font's dialog units, the field starts with the default text
// selected and masked, and the two buttons confirm and cancel.
#include "typed_text.h"
#include "ui/password_query.h"
#include "ui/pin_edit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace {

ui::PasswordRequest request() {
    return {"验证SO PIN", "请输入SO PIN:", "old", "确定", "取消"};
}

TEST(PasswordQueryTest, MeasuresFollowTheFontsDialogUnits) {
    QWidget owner;
    owner.setFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), 9));
    ui::PasswordQuery query(&owner, request());
    const QFontMetrics metrics(query.font());
    const int x =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
        52;
    const int y = metrics.height();
    const auto h = [x](int n) { return int(std::lround(n * x / 4.0)); };
    const auto v = [y](int n) { return int(std::lround(n * y / 8.0)); };
    EXPECT_EQ(query.width(), h(220));
    EXPECT_EQ(query.promptLabel->geometry().topLeft(), QPoint(h(8), v(8)));
    EXPECT_TRUE(query.promptLabel->wordWrap());
    EXPECT_EQ(query.passwordEdit->x(), h(8));
    EXPECT_EQ(query.passwordEdit->y(), query.promptLabel->geometry().bottom() + 1 + 5);
    EXPECT_EQ(query.passwordEdit->width(), h(200));
    const int buttonTop = query.passwordEdit->geometry().bottom() + 1 + 15;
    EXPECT_EQ(query.confirmButton->geometry(), QRect(h(38), buttonTop, h(50), v(14)));
    EXPECT_EQ(query.cancelButton->geometry(), QRect(h(122), buttonTop, h(50), v(14)));
    EXPECT_EQ(query.height(), buttonTop + v(14) + 13);
    EXPECT_EQ(query.windowTitle(), "验证SO PIN");
}

TEST(PasswordQueryTest, FieldStartsWithTheDefaultSelectedAndMasked) {
    ui::PasswordQuery query(nullptr, request());
    EXPECT_EQ(typedText(query.passwordEdit), "old");
    // The field itself holds masks only.
    EXPECT_EQ(query.passwordEdit->text(), QString(3, QChar(ui::PinEdit::kMask)));
    EXPECT_EQ(query.passwordEdit->selectedText().size(), 3);
    EXPECT_EQ(query.passwordEdit->maxLength(), 255);
    EXPECT_NE(query.passwordEdit->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(query.confirmButton->isDefault());
}

TEST(PasswordQueryTest, ConfirmGivesTheTypedTextAndEscapeCancels) {
    ui::MessageService& qtDialogs = ui::messageService();
    QTimer::singleShot(0, [] {
        auto* query = qobject_cast<ui::PasswordQuery*>(QApplication::activeModalWidget());
        ASSERT_NE(query, nullptr);
        query->passwordEdit->setText(" typed ");
        QTest::mouseClick(query->confirmButton, Qt::LeftButton);
    });
    const std::optional<platform::SecretBytes> typed = qtDialogs.askPassword(nullptr, request());
    ASSERT_TRUE(typed.has_value());
    EXPECT_EQ(typed->bytes(), QByteArray(" typed "));
    QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    EXPECT_FALSE(qtDialogs.askPassword(nullptr, request()).has_value());
}

} // namespace
