// Typing into the window: field limits for typed and pasted text, the "*" mask, Enter in the last field of a
// PIN form, Escape on the login page, the PIN length counter and the PIN field's focus colour.
#include "main_form_fixture.h"

#include <QTimer>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QStyle>
#include <QTest>

namespace {

struct FieldLimit {
    const char* name;
    int limit;
    bool masked;
};

const FieldLimit kLimits[] = {
    {"edtOldUPin", 16, true},        {"edtNewUPin1", 16, true},
    {"edtNewUPin2", 16, true},       {"edtKeyName", 31, false},
    {"edtUPIN", 16, true},           {"edtInit_KeyName", 32, false},
    {"edtInit_GS", 32, false},       {"edtInit_UnLockPIN", 32, false},
    {"edtInit_SPIN", 16, false},     {"edtInit_UPIN", 16, false},
    {"edtSPIN", 16, true},           {"edtNewSPIN1", 16, true},
    {"edtNewSPIN2", 16, true},       {"edtSPINForUnLock", 16, true},
    {"edtUPINForUnlock1", 16, true}, {"edtUPINForUnlock2", 16, true},
    {"edtUPINForDownISO", 16, true},
};

const QString kLongText = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGH");

// Enter in each of these fields runs the action beside it.
const std::pair<const char*, const char*> kEnterFields[] = {{"edtNewUPin2", "AcSetUserPIN"},
                                                            {"edtUPIN", "AcLogin"},
                                                            {"edtNewSPIN2", "AcSetSOPIN"},
                                                            {"edtUPINForUnlock2", "AcUnlock"}};

int pageOf(QWidget* widget) {
    auto* pages = widget->window()->findChild<QStackedWidget*>(QStringLiteral("RPC"));
    for (int index = 0; index < pages->count(); ++index) {
        if (pages->widget(index)->isAncestorOf(widget))
            return index;
    }
    return -1;
}

} // namespace

TEST_F(MainFormTest, TypedAndPastedTextKeepsOnlyTheFirstCharactersUpToTheLimit) {
    for (const FieldLimit& field : kLimits) {
        auto* edit = find<QLineEdit>(field.name);
        ASSERT_NE(edit, nullptr) << field.name;
        edit->clear();
        QTest::keyClicks(edit, kLongText);
        EXPECT_EQ(typedText(edit), kLongText.left(field.limit)) << field.name;
        edit->clear();
        QApplication::clipboard()->setText(kLongText);
        edit->paste();
        EXPECT_EQ(typedText(edit), kLongText.left(field.limit)) << field.name << " (pasted)";
    }
}

TEST_F(MainFormTest, MaskedFieldsShowStarsAndTheOthersShowTheText) {
    for (const FieldLimit& field : kLimits) {
        auto* edit = find<QLineEdit>(field.name);
        if (!field.masked) {
            EXPECT_EQ(edit->echoMode(), QLineEdit::Normal) << field.name;
            continue;
        }
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password) << field.name;
        EXPECT_EQ(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit), int('*'))
            << field.name;
    }
}

TEST_F(MainFormTest, EnterInTheLastFieldRunsTheActionEvenWhenItIsDisabled) {
    form().show();
    waitForKeyOperations(form());
    find<QTimer>("TCheckInit")->stop();
    for (const auto& [fieldName, actionName] : kEnterFields) {
        // The key's pages take no input while the operation of the previous Enter runs.
        waitForKeyOperations(form());
        auto* edit = find<QLineEdit>(fieldName);
        auto* action = find<QAction>(actionName);
        find<QStackedWidget>("RPC")->setCurrentIndex(pageOf(edit));
        action->setEnabled(false);
        int runs = 0;
        auto connection = QObject::connect(action, &QAction::triggered, [&runs] { ++runs; });
        QTest::keyClick(edit, Qt::Key_Return);
        QObject::disconnect(connection);
        EXPECT_EQ(runs, 1) << fieldName;
    }
}

TEST_F(MainFormTest, EnterInAnEarlierFieldRunsNothing) {
    form().show();
    find<QStackedWidget>("RPC")->setCurrentIndex(1);
    int runs = 0;
    QObject::connect(find<QAction>("AcSetUserPIN"), &QAction::triggered, [&runs] { ++runs; });
    QTest::keyClick(find<QWidget>("edtNewUPin1"), Qt::Key_Return);
    EXPECT_EQ(runs, 0);
}

TEST_F(MainFormTest, EscapeRunsCancelOnlyWhileTheLoginPageShows) {
    TMainForm& window = form();
    window.show();
    waitForKeyOperations(window);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    int cancels = 0;
    QObject::connect(find<QAction>("AcCancel"), &QAction::triggered, [&cancels] { ++cancels; });
    auto* pages = find<QStackedWidget>("RPC");
    pages->setCurrentIndex(0);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(cancels, 0);
    pages->setCurrentIndex(3);
    find<QWidget>("edtUPIN")->setFocus();
    QTest::keyClick(find<QWidget>("edtUPIN"), Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
}

TEST_F(MainFormTest, PinCounterFollowsEveryChange) {
    auto* edit = find<QLineEdit>("edtUPIN");
    auto* counter = find<QLabel>("Label10");
    QTest::keyClicks(edit, "1234");
    EXPECT_EQ(counter->text(), "4");
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(counter->text(), "3");
    edit->clear();
    EXPECT_EQ(counter->text(), "0");
}

TEST_F(MainFormTest, PinFieldIsYellowWhileFocusedAndKeepsItsTextUnselected) {
    TMainForm& window = form();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    find<QStackedWidget>("RPC")->setCurrentIndex(3);
    auto* edit = find<QLineEdit>("edtUPIN");
    edit->setText("1234");
    const QColor normal = edit->palette().color(QPalette::Base);
    ASSERT_NE(normal, QColor(Qt::yellow));
    find<QWidget>("RzButton3")->setFocus(Qt::TabFocusReason);
    edit->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(edit->hasFocus());
    EXPECT_FALSE(edit->hasSelectedText());
    const QImage focused = edit->grab().toImage();
    EXPECT_EQ(focused.pixelColor(edit->width() - 6, edit->height() / 2), QColor(Qt::yellow));
    find<QWidget>("RzButton3")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(edit->palette().color(QPalette::Base), normal);
    const QImage unfocused = edit->grab().toImage();
    EXPECT_NE(unfocused.pixelColor(edit->width() - 6, edit->height() / 2), QColor(Qt::yellow));
}
