// PIN fields keep the real characters in their own wiping buffer: the line edit, its undo history and the
// accessibility events it sends hold masks only, while typing, deleting, limits and Enter work as before.
#include "ui/form_widgets.h"
#include "ui/pin_edit.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>
#include <QtGui/private/qguiapplication_p.h>
#include <gtest/gtest.h>
#include <memory>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

QString realText(const QLineEdit& field) {
    return QString::fromLocal8Bit(ui::pinBytes(field).bytes());
}

bool onlyMasks(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() == ui::PinEdit::kMask; });
}

// The texts every accessibility event of the test carried, collected by an update handler: what an assistive
// technology client listening on the session bus would be sent. Events are only sent while accessibility is
// active, which the platform turns on when such a client appears; the test turns it on itself.
std::vector<QString> accessibleTexts;

void recordAccessibleText(QAccessibleEvent* event) {
    if (event->type() == QAccessible::TextInserted)
        accessibleTexts.push_back(static_cast<QAccessibleTextInsertEvent*>(event)->textInserted());
    else if (event->type() == QAccessible::TextRemoved)
        accessibleTexts.push_back(static_cast<QAccessibleTextRemoveEvent*>(event)->textRemoved());
    else if (event->type() == QAccessible::TextUpdated) {
        auto* update = static_cast<QAccessibleTextUpdateEvent*>(event);
        accessibleTexts.push_back(update->textInserted());
        accessibleTexts.push_back(update->textRemoved());
    }
}

class PinEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        field = ui::makePinEdit(window.get(), "edtTest", QRect(0, 0, 200, 21), 8);
        window->show();
        field->setFocus();
    }

    std::unique_ptr<QWidget> window;
    QLineEdit* field = nullptr;
};

} // namespace

TEST_F(PinEditTest, TypingEditingAndLimitsKeepTheRealCharactersInStep) {
    QTest::keyClicks(field, "12345678XYZ");
    EXPECT_EQ(realText(*field), "12345678") << "the limit holds";
    EXPECT_EQ(field->text().size(), 8);
    EXPECT_TRUE(onlyMasks(field->text()));

    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClick(field, Qt::Key_Home);
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(realText(*field), "234567");
    QTest::keyClick(field, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(field, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClicks(field, "ab");
    EXPECT_EQ(realText(*field), "ab4567") << "typing replaces the selection";
    QApplication::clipboard()->setText("Z9\n");
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(realText(*field), "abZ94567");
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(realText(*field), "abZ94567") << "undo is off: the history knows masks only";

    QSignalSpy entered(field, &QLineEdit::returnPressed);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(entered.count(), 1);
    field->clear();
    EXPECT_TRUE(ui::pinBytes(*field).isEmpty());
    field->setText("set by the program");
    EXPECT_EQ(realText(*field), "set by t");
    EXPECT_TRUE(onlyMasks(field->text()));
}

TEST_F(PinEditTest, UndoHistoryAndAccessibilityEventsCarryMasksOnly) {
    QPlatformAccessibility* platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
    ASSERT_NE(platform, nullptr);
    platform->setActive(true);
    QAccessible::installUpdateHandler(recordAccessibleText);
    accessibleTexts.clear();
    QTest::keyClicks(field, "4711");
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, "9");
    field->clear();
    QTest::keyClicks(field, "2024");
    QAccessible::installUpdateHandler(nullptr);
    platform->setActive(false);

    ASSERT_FALSE(accessibleTexts.empty()) << "no accessibility event was seen";
    for (const QString& text : accessibleTexts)
        EXPECT_TRUE(onlyMasks(text)) << text.toStdString();

    // Walk the whole undo history back to the start.
    int steps = 0;
    while (field->isUndoAvailable() && steps < 100) {
        field->undo();
        EXPECT_TRUE(onlyMasks(field->text())) << field->text().toStdString();
        ++steps;
    }
    EXPECT_GT(steps, 0) << "the history was empty, so nothing was checked";
}
