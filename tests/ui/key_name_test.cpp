// Changing a key's label: trimming, the UTF-8 length limit, what the library receives and how the key table
// and the tree show the new label without a rescan; end to end on a virtual key.
#include "form_parts.h"
#include "pin_pages_fixture.h"
#include "platform/blank_trim.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "token/token_ops.h"
#include "ui/handlers/key_name_handler.h"

#include <QByteArray>
#include <QLabel>

namespace {

// Types `text` key by key into `edit`, each key press carrying one character as a keyboard or an input method
// delivers it.
void typeKeyByKey(QLineEdit* edit, const QString& text) {
    for (QChar character : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(character), Qt::NoModifier);
}

class KeyNameTest : public PinPagesTest {
protected:
    KeyNameTest() {
        keys = {{"Alpha"}, {"An old label of thirty bytes!!"}};
        library->token_set_label = [this](int32_t idx, const char* buffer) {
            labelsSet.emplace_back(idx, QByteArray(buffer, 64));
            return setLabelResult;
        };
    }
    void openKeyName(int slot) {
        readyForm();
        openTask(slot, KeyNameTask);
        ASSERT_EQ(page(), ui::PageKeyName);
    }
    void rename(const QString& text) {
        typeInto("edtKeyName", text);
        QTest::mouseClick(find<QWidget>("RzButton1"), Qt::LeftButton);
    }
    // The 64-byte buffer the library receives for `utf8`.
    static QByteArray labelBuffer(const QByteArray& utf8) {
        return utf8 + QByteArray(64 - utf8.size(), '\0');
    }
    QByteArray recordLabel(int slot) const { return QByteArray(token::keyTable().keys[slot].label, 129); }

    int32_t setLabelResult = 0;
    std::vector<std::pair<int32_t, QByteArray>> labelsSet;
};

TEST_F(KeyNameTest, TheFieldTakesThirtyOneBytesOfUtf8AndEveryLabelItHoldsIsWritten) {
    const QString ascii31 = QString(31, QLatin1Char('a'));
    const QString chinese10 = QString(10, QChar(0x94A5)); // 钥, three bytes each
    struct Case {
        QString typed;
        QString kept;
    };
    openKeyName(1);
    for (const Case& c :
         {Case{ascii31, ascii31}, Case{ascii31 + "b", ascii31}, Case{chinese10, chinese10},
          Case{chinese10 + QChar(0x94A5), chinese10},
          Case{QString(40, QLatin1Char('x')), QString(31, QLatin1Char('x'))},
          Case{"a" + chinese10, "a" + chinese10}, Case{"ab" + chinese10, "ab" + chinese10.left(9)}}) {
        labelsSet.clear();
        messages.clear();
        find("edtKeyName")->clear();
        // Typed key by key, as a person would, and pasted in one piece.
        typeKeyByKey(find("edtKeyName"), c.typed);
        EXPECT_EQ(find("edtKeyName")->text(), c.kept);
        typeInto("edtKeyName", c.typed);
        EXPECT_EQ(find("edtKeyName")->text(), c.kept);
        QTest::mouseClick(find<QWidget>("RzButton1"), Qt::LeftButton);
        waitForKeyOperations(form());
        EXPECT_EQ(messages.messageTexts(), QStringList{"修改成功"});
        ASSERT_EQ(labelsSet.size(), 1u);
        EXPECT_EQ(labelsSet[0].first, 1);
        EXPECT_EQ(labelsSet[0].second, labelBuffer(c.kept.toUtf8()));
        EXPECT_EQ(keyNode(1)->text(0), c.kept);
    }
}

TEST_F(KeyNameTest, TrimmedLabelReachesTheKeyTheRecordAndTheTreeWithoutARescan) {
    openKeyName(1);
    ASSERT_EQ(find("edtKeyName")->text(), "An old label of thirty bytes!!");
    rename(QStringLiteral(" \t 张三 Key\r\n "));
    EXPECT_EQ(messages.messageTexts(), QStringList{"修改成功"});
    ASSERT_EQ(labelsSet.size(), 1u);
    const QByteArray utf8 = QStringLiteral("张三 Key").toUtf8();
    EXPECT_EQ(labelsSet[0].second, labelBuffer(utf8));
    EXPECT_EQ(recordLabel(1), utf8 + QByteArray(129 - utf8.size(), '\0'));
    EXPECT_EQ(keyNode(1)->text(0), QStringLiteral("张三 Key"));
    EXPECT_EQ(keyNode(0)->text(0), "Alpha");
    EXPECT_EQ(library->calls, (std::vector<std::string>{"token_get_pin_state", "token_set_label"}));
    EXPECT_EQ(token::keyTable().loginState[1], token::KeyPresent);

    // The key's other pages read the new label from the record.
    select(taskNode(1, CertificatesTask));
    EXPECT_EQ(find<QLabel>("Lkeyname")->text(), QStringLiteral("张三 Key"));
}

TEST_F(KeyNameTest, BlanksOnlyEnableTheChangeAndSetAnEmptyLabel) {
    openKeyName(0);
    QAction* setName = action(&ui::MainActions::AcSetKeyName);
    typeInto("edtKeyName", "");
    letTheEventLoopIdle();
    EXPECT_FALSE(setName->isEnabled());
    typeInto("edtKeyName", "   ");
    letTheEventLoopIdle();
    EXPECT_TRUE(setName->isEnabled());
    rename("   ");
    ASSERT_EQ(labelsSet.size(), 1u);
    EXPECT_EQ(labelsSet[0].second, QByteArray(64, '\0'));
    EXPECT_EQ(recordLabel(0), QByteArray(129, '\0'));
    EXPECT_EQ(keyNode(0)->text(0), "");
}

TEST_F(KeyNameTest, LockedPinOrRefusalLeavesRecordAndTreeAsTheyWere) {
    keys[0].locked = 1;
    setLabelResult = 0xA0;
    readyForm();
    openTask(0, KeyNameTask);
    rename("New");
    EXPECT_EQ(messages.messageTexts(), QStringList{"USBKey已锁死"});
    EXPECT_TRUE(labelsSet.empty());

    openTask(1, KeyNameTask);
    messages.clear();
    rename("New");
    EXPECT_EQ(messages.messageTexts(), QStringList{"修改失败"});
    EXPECT_EQ(labelsSet.size(), 1u);
    EXPECT_EQ(QByteArray(token::keyTable().keys[1].label), "An old label of thirty bytes!!");
    EXPECT_EQ(keyNode(1)->text(0), "An old label of thirty bytes!!");
}

TEST_F(KeyNameTest, KeyListSelectedRenamesTheCurrentKeysNodeNotTheList) {
    openKeyName(1);
    select(keyList()); // the page stays; the key list makes key 0 current
    ASSERT_EQ(page(), ui::PageKeyName);
    rename("Renamed");
    ASSERT_EQ(labelsSet.size(), 1u);
    EXPECT_EQ(labelsSet[0].first, 0);
    EXPECT_EQ(keyList()->text(0), "USBKey列表");
    EXPECT_EQ(keyNode(0)->text(0), "Renamed");
    EXPECT_EQ(keyNode(1)->text(0), "An old label of thirty bytes!!");
}

TEST(TrimBlanksAndControlsTest, RemovesBlanksAndControlCharactersAtBothEndsOnly) {
    EXPECT_EQ(platform::trimBlanksAndControls(QStringLiteral("\x01\t A  B \x7F\u3000\x1F")), "A  B");
    EXPECT_EQ(platform::trimBlanksAndControls(QStringLiteral(" \r\n ")), "");
    EXPECT_EQ(platform::trimBlanksAndControls(QStringLiteral("钥匙")), QStringLiteral("钥匙"));
}

class KeyNameOnVirtualKeyTest : public PinPagesTest {
protected:
    KeyNameOnVirtualKeyTest() {
        library.reset();
        quillard::VirtualKeySettings settings;
        settings.label = "Before";
        settings.userPin = "1234";
        settings.soPin = "87654321";
        settings.kdfIterations = 16;
        std::string serial;
        std::string detail;
        EXPECT_EQ(quillard::VirtualKeyManager().create(settings, serial, &detail), 0) << detail;
    }
};

using KeyNameOnTokenTest = PinPagesOnTokenTest;

TEST_F(KeyNameOnTokenTest, APkcs11TokenKeepsItsLabelAndTheWindowSaysTheChangeFailed) {
    tokenForm();
    select(taskNode(0, KeyNameTask));
    typeInto("edtKeyName", QStringLiteral("Renamed"));
    QTest::mouseClick(find<QWidget>("RzButton1"), Qt::LeftButton);
    waitForKeyOperations(form());
    EXPECT_EQ(messages.messageTexts(), QStringList{"修改失败\r此USBKey不支持该操作"});
    EXPECT_EQ(keyNode(0)->text(0), QString::fromLatin1(kTokenLabel));
}

TEST_F(KeyNameOnVirtualKeyTest, NewLabelIsWhatTheKeyReportsAfterwards) {
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    ASSERT_EQ(token::keyTable().keyCount, 1);
    select(taskNode(0, KeyNameTask));
    typeInto("edtKeyName", QStringLiteral("  张三的钥匙  "));
    QTest::mouseClick(find<QWidget>("RzButton1"), Qt::LeftButton);
    waitForKeyOperations(form());
    EXPECT_EQ(messages.messageTexts(), QStringList{"修改成功"});
    EXPECT_EQ(keyNode(0)->text(0), QStringLiteral("张三的钥匙"));

    token::TZartoInfo reread{};
    ASSERT_EQ(token::token_get_info(0, reread), 0);
    EXPECT_EQ(QString::fromUtf8(reread.label), QStringLiteral("张三的钥匙"));
    EXPECT_EQ(QString::fromUtf8(token::keyTable().keys[0].label), QStringLiteral("张三的钥匙"));
}

} // namespace
