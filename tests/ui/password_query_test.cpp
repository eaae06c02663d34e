// The SO PIN prompt: its measures follow the font's dialog units, the field starts with the default text
// selected and masked, and the two buttons confirm and cancel.
#include "ui/password_query.h"

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
    EXPECT_EQ(query.passwordEdit->text(), "old");
    EXPECT_EQ(query.passwordEdit->selectedText(), "old");
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
    EXPECT_EQ(qtDialogs.askPassword(nullptr, request()), std::optional<QString>(" typed "));
    QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    EXPECT_EQ(qtDialogs.askPassword(nullptr, request()), std::nullopt);
}

} // namespace
