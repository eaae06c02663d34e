// The message service: Qt's form of file filters, the scripted service tests rely on, and boxes wide enough
// for their titles.
#include "i18n/string_table.h"
#include "ui/message_box_width.h"
#include "ui/message_service.h"
#include "ui/scripted_message_service.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using ui::MessageAnswer;
using ui::MessageButtons;
using ui::MessageIcon;
using ui::QtMessageService;

TEST(QtFileFilter, PipeSeparatedFiltersBecomeQtFilters) {
    EXPECT_EQ(QtMessageService::qtFilter("Cert file|*.pfx;*.p12;*.p7b;*.cer;*.crt"),
              "Cert file (*.pfx *.p12 *.p7b *.cer *.crt)");
    EXPECT_EQ(QtMessageService::qtFilter("ISO File (*.iso)|*.iso"), "ISO File (*.iso)");
    EXPECT_EQ(QtMessageService::qtFilter("Text|*.txt|All|*.*"), "Text (*.txt);;All (*.*)");
    EXPECT_EQ(QtMessageService::qtFilter(""), "");
}

TEST(ScriptedMessages, NoticesAndQuestionsAreRecordedWithTitleIconAndButtons) {
    i18n::resetStringTable();
    ui::ScriptedMessageService messages;
    EXPECT_EQ(&ui::messageService(), &messages);
    messages.queueAnswer(MessageAnswer::Yes);
    ui::messageService().inform(nullptr, "done");
    EXPECT_TRUE(ui::messageService().ask(nullptr, "delete?"));
    EXPECT_FALSE(ui::messageService().ask(nullptr, "again?"));
    ASSERT_EQ(messages.messages().size(), 3);
    const ui::RecordedMessage& notice = messages.messages()[0];
    EXPECT_EQ(notice.title, QStringLiteral("提示"));
    EXPECT_EQ(notice.icon, MessageIcon::Information);
    EXPECT_EQ(notice.buttons, MessageButtons::Ok);
    EXPECT_EQ(messages.messages()[1].icon, MessageIcon::Question);
    EXPECT_EQ(messages.messages()[1].buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages.messageTexts(), QStringList({"done", "delete?", "again?"}));
    EXPECT_EQ(messages.unansweredQuestions(), 1);
}

TEST(ScriptedMessages, FileDialogsAnswerFromTheQueueThenCancel) {
    ui::ScriptedMessageService messages;
    messages.queueFileName("/tmp/a.pfx");
    EXPECT_EQ(ui::messageService().openFileName(nullptr, {"", "Cert file|*.pfx", "", ""}), "/tmp/a.pfx");
    EXPECT_EQ(ui::messageService().saveFileName(nullptr, {"", "", "cer", ""}), "");
    ASSERT_EQ(messages.fileDialogs().size(), 2);
    EXPECT_EQ(messages.fileDialogs()[1].kind, ui::RecordedFileDialog::Save);
    EXPECT_EQ(messages.fileDialogs()[1].request.defaultSuffix, "cer");
    EXPECT_EQ(messages.unansweredFileDialogs(), 1);
}

TEST(ScriptedMessages, LeavingPutsTheQtDialogsBack) {
    { ui::ScriptedMessageService messages; }
    EXPECT_NE(dynamic_cast<QtMessageService*>(&ui::messageService()), nullptr);
}

TEST(MessageBoxWidth, AShortNoticeIsWideEnoughForItsTitle) {
    for (const char* title : {"提示", "Information", "PKI Management Tool"}) {
        QMessageBox box(QMessageBox::Information, QString::fromUtf8(title), QStringLiteral("OK"),
                        QMessageBox::Ok);
        ui::keepTitleVisible(box);
        box.show();
        QCoreApplication::processEvents();
        EXPECT_GE(box.width(), ui::titleWidth(box)) << title;
        EXPECT_GT(ui::titleWidth(box), ui::kTitleBarReserve);
    }
}

TEST(QtMessages, AQuestionIsAnsweredNoByEnter) {
    i18n::resetStringTable();
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QTimer::singleShot(0, [&defaultButton] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        defaultButton = box->standardButton(box->defaultButton());
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_FALSE(QtMessageService().ask(nullptr, QStringLiteral("确定要删除吗？")));
    EXPECT_EQ(defaultButton, QMessageBox::No);
}
