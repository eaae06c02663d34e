// The navigation tree: the key nodes a scan builds, the pages and current key a selection chooses, the
// rescans after device events and the certificate actions that follow the certificate tree's selection.
#include "form_parts.h"
#include "key_window_fixture.h"
#include "ui/handlers/key_navigator.h"
#include "ui/image_list.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <utility>

namespace {

// Stands for the import dialog, which the window finds by its class name.
class TIMForm : public QDialog {
    Q_OBJECT
};

using NodeLook = std::pair<QString, int>;

std::vector<NodeLook> childLooks(const QTreeWidgetItem* node) {
    std::vector<NodeLook> looks;
    for (int i = 0; i < node->childCount(); ++i)
        looks.emplace_back(node->child(i)->text(0), ui::nodeImage(node->child(i)));
    return looks;
}

const std::vector<NodeLook> kKeyChildren = {
    {"修改USB Key口令", 4}, {"修改USB Key名称", 11}, {"证书", 3}, {"管理员", 12}, {"证书申请", 3}};
const std::vector<NodeLook> kAdministrationChildren = {
    {"初始化", 13}, {"修改SO PIN", 5}, {"解锁", 14}, {"下载ISO", 8}};
const QString kErrorNode = QStringLiteral("获取USBKey信息失败");

class KeyNavigationTest : public KeyWindowTest {
protected:
    QTimer* findTimer() { return part<QTimer>(form(), "TFindUSBKey"); }
    QTimer* checkTimer() { return part<QTimer>(form(), "TCheckInit"); }
    // Shows the window with rescans 5 ms apart and no pending initialisation check.
    RecordingMainForm& readyForm() {
        shownForm();
        findTimer()->setInterval(5);
        checkTimer()->stop();
        library->calls.clear();
        return form();
    }
    bool waitForRescansToEnd() {
        return QTest::qWaitFor([this] { return !findTimer()->isActive(); }, 2000);
    }
};

TEST_F(KeyNavigationTest, ScanListsEveryKeyWithItsTasksAndShowsTheFirst) {
    keys = {{" Alpha  "}, {"张三的钥匙"}};
    RecordingMainForm& window = shownForm();
    EXPECT_EQ(childLooks(part<QTreeWidget>(window, "tv")->invisibleRootItem()),
              (std::vector<NodeLook>{{"USBKey列表", 9}, {"系统信息", 10}, {"关于", 7}}));
    EXPECT_EQ(childLooks(keyList()), (std::vector<NodeLook>{{"Alpha", 0}, {"张三的钥匙", 0}}));
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_EQ(childLooks(keyNode(slot)), kKeyChildren);
        EXPECT_EQ(childLooks(keyNode(slot)->child(3)), kAdministrationChildren);
        EXPECT_TRUE(keyNode(slot)->isExpanded() && keyNode(slot)->child(3)->isExpanded());
    }
    EXPECT_TRUE(keyList()->isExpanded());
    EXPECT_EQ(page(), ui::PageKeyInfo);
    const token::KeyTable& table = token::keyTable();
    EXPECT_EQ(table.keyCount, 2);
    EXPECT_EQ(table.currentKey, 0);
    EXPECT_EQ(std::vector<int32_t>(table.loginState.begin(), table.loginState.begin() + 3),
              (std::vector<int32_t>{1, 1, 0}));
    EXPECT_EQ(infoColumn(1).value(0), " Alpha  ");

    keys.pop_back();
    actionsOf(window).AcFindKeyRefresh->trigger();
    EXPECT_EQ(childLooks(keyList()), (std::vector<NodeLook>{{"Alpha", 0}}));
    EXPECT_TRUE(part<QTimer>(window, "TCheckInit")->isActive());
    EXPECT_FALSE(window.calls.contains("OpenArrivalURL")) << "a refresh never opens the address";
}

TEST_F(KeyNavigationTest, ScanWithoutKeysShowsTheErrorNodeAndAnEmptyList) {
    keys = {{"Alpha"}};
    RecordingMainForm& window = shownForm();
    part<QStackedWidget>(window, "RPC")->setCurrentIndex(ui::PageAbout);
    part<QTimer>(window, "TCheckInit")->stop();
    keys.clear();
    actionsOf(window).AcFindKeyRefresh->trigger();
    EXPECT_EQ(childLooks(keyList()), (std::vector<NodeLook>{{kErrorNode, 0}}));
    EXPECT_TRUE(keyList()->isExpanded());
    EXPECT_EQ(page(), ui::PageKeyInfo);
    EXPECT_EQ(infoList()->rowCount(), 0);
    EXPECT_EQ(token::keyTable().keyCount, 0);
    EXPECT_EQ(token::keyTable().loginState[0], 0);
    EXPECT_FALSE(part<QTimer>(window, "TCheckInit")->isActive());
    EXPECT_TRUE(messages.messages().isEmpty());
}

TEST_F(KeyNavigationTest, FailedInformationReadStopsTheScanAtThatKey) {
    keys = {{"Alpha"}, {"Beta"}, {"Gamma"}};
    RecordingMainForm& window = readyForm();
    keys[1].infoResult = 0x30;
    part<QStackedWidget>(window, "RPC")->setCurrentIndex(ui::PageAbout);
    window.ScanKeys();
    waitForKeyOperations(window);
    EXPECT_EQ(window.lastScanCode(), 0x30);
    EXPECT_EQ(childLooks(keyList()), (std::vector<NodeLook>{{kErrorNode, 0}}));
    EXPECT_EQ(library->count("token_get_info"), 2);
    EXPECT_EQ(token::keyTable().keyCount, 3);
    EXPECT_EQ(token::keyTable().loginState[0], 0);
    EXPECT_EQ(page(), ui::PageAbout);
    EXPECT_EQ(infoList()->rowCount(), 0);
}

TEST_F(KeyNavigationTest, SelectionChoosesThePageAndTheCurrentKey) {
    keys = {{" Alpha "}, {"  Beta  "}};
    RecordingMainForm& window = shownForm();
    const token::KeyTable& table = token::keyTable();
    select(keyNode(1)->child(1));
    EXPECT_EQ(page(), ui::PageKeyName);
    EXPECT_EQ(table.currentKey, 1);
    EXPECT_EQ(window.findChild<QLineEdit*>("edtKeyName")->text(), "Beta");
    select(keyNode(1)->child(2));
    EXPECT_EQ(page(), ui::PageLogin);
    EXPECT_EQ(window.findChild<QLabel*>("Lkeyname")->text(), "  Beta  ");
    select(keyNode(0)->child(0));
    EXPECT_EQ(page(), ui::PageUserPin);
    EXPECT_EQ(table.currentKey, 0);

    const int expectedPages[] = {ui::PageInit, ui::PageSoPin, ui::PageUnlock, ui::PageIso};
    for (int position = 0; position < 4; ++position) {
        select(keyNode(1)->child(3)->child(position));
        EXPECT_EQ(page(), expectedPages[position]) << position;
        EXPECT_EQ(table.currentKey, 1);
    }
    select(keyNode(0)->child(3));
    EXPECT_EQ(page(), ui::PageInit);
    EXPECT_EQ(window.calls, QStringList({"LoadInitDefaults", "LoadInitDefaults"}));

    select(part<QTreeWidget>(window, "tv")->topLevelItem(1));
    EXPECT_EQ(page(), ui::PageSystemCheck);
    EXPECT_EQ(table.currentKey, 1);
    EXPECT_EQ(window.calls.last(), "ShowSystemInfo");
    select(part<QTreeWidget>(window, "tv")->topLevelItem(2));
    EXPECT_EQ(page(), ui::PageAbout);
    EXPECT_EQ(table.currentKey, 2);
    select(keyList());
    EXPECT_EQ(page(), ui::PageAbout);
    EXPECT_EQ(table.currentKey, 0);

    select(keyNode(1));
    EXPECT_EQ(page(), ui::PageKeyInfo);
    EXPECT_EQ(table.currentKey, 1);
    EXPECT_EQ(infoColumn(1).value(0), "  Beta  ");
    token::keyTable().loginState[1] = token::LoggedIn;
    select(keyNode(1)->child(2));
    EXPECT_EQ(page(), ui::PageCertificates);
    EXPECT_EQ(window.calls.last(), "BuildCertTree(1)");
}

TEST_F(KeyNavigationTest, LoginPageShowsALabelThatLooksLikeMarkupAsItStands) {
    const QString markup = QStringLiteral("<b>Boss</b> <i>key</i>");
    keys = {{markup.toStdString()}};
    shownForm();
    select(keyNode(0)->child(2));
    ASSERT_EQ(page(), ui::PageLogin);
    auto* keyName = form().findChild<QLabel*>("Lkeyname");
    EXPECT_EQ(keyName->text(), markup);
    // Drawn as plain text, the label needs the room of every character of the markup.
    QLabel plain;
    plain.setFont(keyName->font());
    plain.setTextFormat(Qt::PlainText);
    plain.setText(markup);
    EXPECT_EQ(keyName->sizeHint(), plain.sizeHint());
}

TEST_F(KeyNavigationTest, DeviceEventsOfOtherProductsOrBeforeTheLibraryStartsAreIgnored) {
    keys = {{"Alpha"}};
    part<ui::KeyNavigator>(form(), "navigator")->onKeyArrival(0xE917);
    part<ui::KeyNavigator>(form(), "navigator")->onKeyRemoval(0xE917);
    EXPECT_FALSE(findTimer()->isActive()) << "the library is not ready yet";
    readyForm();
    part<ui::KeyNavigator>(form(), "navigator")->onKeyArrival(0xE91);
    part<ui::KeyNavigator>(form(), "navigator")->onKeyRemoval(0x1234);
    EXPECT_FALSE(findTimer()->isActive());
    EXPECT_EQ(part<ui::KeyNavigator>(form(), "navigator")->scanCountdown(), 3);
    EXPECT_TRUE(library->calls.empty());
}

TEST_F(KeyNavigationTest, RemovalOfTheLastKeyScansOnceAndClosesTheImportDialog) {
    keys = {{"Alpha"}};
    readyForm();
    TIMForm importDialog;
    importDialog.show();
    keys.clear();
    part<ui::KeyNavigator>(form(), "navigator")->onKeyRemoval(0xDB08);
    EXPECT_EQ(part<ui::KeyNavigator>(form(), "navigator")->scanCountdown(), 2);
    ASSERT_TRUE(waitForRescansToEnd());
    EXPECT_EQ(library->count("token_find"), 1);
    EXPECT_EQ(childLooks(keyList()), (std::vector<NodeLook>{{kErrorNode, 0}}));
    EXPECT_FALSE(importDialog.isVisible());
    EXPECT_FALSE(checkTimer()->isActive());
}

TEST_F(KeyNavigationTest, ArrivalRescansUntilAKeyIsFoundThenOpensTheAddress) {
    writeArrivalSettings();
    readyForm();
    int searches = 0;
    library->token_find = [&](int32_t*, int32_t* count) {
        *count = ++searches >= 2 ? 1 : 0;
        return int32_t(0);
    };
    keys = {{"Late"}};
    part<ui::KeyNavigator>(form(), "navigator")->onKeyArrival(0xE618);
    ASSERT_TRUE(waitForRescansToEnd());
    EXPECT_EQ(searches, 2);
    EXPECT_EQ(childLooks(keyList()), (std::vector<NodeLook>{{"Late", 0}}));
    EXPECT_EQ(form().calls, QStringList{"OpenArrivalURL"});
    EXPECT_TRUE(checkTimer()->isActive());
}

TEST_F(KeyNavigationTest, ArrivalWithoutKeysGivesUpAfterTwoScans) {
    writeArrivalSettings();
    readyForm();
    part<ui::KeyNavigator>(form(), "navigator")->onKeyArrival(0xE917);
    ASSERT_TRUE(waitForRescansToEnd());
    EXPECT_EQ(library->count("token_find"), 2);
    EXPECT_TRUE(form().calls.isEmpty());
    EXPECT_FALSE(checkTimer()->isActive());
}

TEST_F(KeyNavigationTest, CertificateActionsFollowTheCertificateTreeSelection) {
    keys = {{"Alpha"}};
    RecordingMainForm& window = shownForm();
    const ui::MainActions& actions = actionsOf(window);
    const QList<QAction*> certificateActions = {actions.AcDel, actions.AcOutput, actions.AcListCert,
                                                actions.AcDelCert};
    auto enabled = [&] {
        QList<bool> states;
        for (QAction* action : certificateActions)
            states << action->isEnabled();
        return states;
    };
    EXPECT_EQ(enabled(), QList<bool>({false, false, false, false}));

    token::keyTable().loginState[0] = token::LoggedIn;
    token::keyTable().keys[0].containerCount = 1;
    auto* tvCert = window.findChild<QTreeWidget*>("tvCert");
    auto* container = new QTreeWidgetItem(tvCert, {"container"});
    auto* pair = new QTreeWidgetItem(container, {"exchange"});
    auto* certificate = new QTreeWidgetItem(pair, {"certificate"});
    new QTreeWidgetItem(pair, {"public key"});
    tvCert->setCurrentItem(container);
    EXPECT_EQ(enabled(), QList<bool>({true, false, false, false}));
    tvCert->setCurrentItem(certificate);
    EXPECT_EQ(enabled(), QList<bool>({false, true, true, true}));
    tvCert->setCurrentItem(pair->child(1));
    EXPECT_EQ(enabled(), QList<bool>({false, false, false, false}));
    tvCert->setCurrentItem(certificate);
    tvCert->clearSelection();
    EXPECT_EQ(enabled(), QList<bool>({false, false, false, false}));
    token::keyTable().keys[0].containerCount = 0;
    tvCert->setCurrentItem(container);
    EXPECT_FALSE(actions.AcDel->isEnabled()) << "a key without containers has nothing to delete";
}

} // namespace

#include "key_navigation_test.moc"
