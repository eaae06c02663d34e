// Rescans after a device event over virtual keys: a key that stays plugged keeps its login, its selected
// node, its page and its certificate tree while other keys come and go; a key that goes loses its login; the
// check for keys never initialised concerns the keys that arrived; the refresh button logs the keys out in
// the library as well as in the window.
#include "cert_window_fixture.h"
#include "token/token_ops.h"
#include "ui/handlers/key_navigator.h"

#include <QStackedWidget>
#include <QTest>
#include <QTimer>

namespace {

class SessionKeepingTest : public CertVirtualKeyTest {
protected:
    static constexpr const char* kWorkKey = "PZKEEP0002";

    SessionKeepingTest() {
        createKey(kWorkKey);
        fill(kWorkKey, "Work", 1, &rsaCredential());
    }
    ui::KeyNavigator* navigator() { return part<ui::KeyNavigator>(form(), "navigator"); }
    QTimer* findTimer() { return part<QTimer>(form(), "TFindUSBKey"); }
    // The rescans a device event starts, run to their end 5 ms apart.
    void deviceEvent(bool arrival) {
        findTimer()->setInterval(5);
        if (arrival)
            navigator()->onKeyArrival(0xE917);
        else
            navigator()->onKeyRemoval(0xE917);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !findTimer()->isActive(); }, 5000));
        waitForKeyOperations(form());
    }
    // The slot whose node carries the work key's label.
    int workSlot() {
        for (int slot = 0; slot < keyList()->childCount(); ++slot) {
            if (keyNode(slot)->text(0) == QStringLiteral("Key PZKEEP0002"))
                return slot;
        }
        return -1;
    }
    // The library's logged-in flag of the user PIN of `slot`.
    static bool libraryHoldsLogin(int slot) {
        token::TPinState state{};
        token::token_get_pin_state(slot, token::PinType::User, state);
        return state.reserved5 == 1;
    }
    QTreeWidgetItem* selectedNode() { return part<QTreeWidget>(form(), "tv")->currentItem(); }
    // Logs in to the work key and shows its certificates.
    void workingOnCertificates() {
        certForm();
        logInThroughWindow(0, QString::fromLatin1(kPin));
        waitForKeyOperations(form());
        ASSERT_EQ(page(), ui::PageCertificates);
        ASSERT_EQ(certTree()->topLevelItemCount(), 1);
        messages.clear();
    }
};

TEST_F(SessionKeepingTest, AKeyPluggedInBeforeTheWorkKeyLeavesItsLoginNodePageAndTreeAlone) {
    workingOnCertificates();
    // The new key sorts first: the work key moves to the second slot.
    createKey("PZADDED0001");
    deviceEvent(true);

    ASSERT_EQ(keyList()->childCount(), 2);
    const int slot = workSlot();
    ASSERT_EQ(slot, 1);
    EXPECT_EQ(token::keyTable().currentKey, slot);
    EXPECT_EQ(loginState(slot), token::LoggedIn);
    EXPECT_TRUE(libraryHoldsLogin(slot));
    EXPECT_EQ(loginState(0), token::KeyPresent);
    EXPECT_EQ(selectedNode(), taskNode(slot, CertificatesTask));
    EXPECT_EQ(page(), ui::PageCertificates);
    EXPECT_EQ(certTree()->topLevelItemCount(), 1);
    EXPECT_TRUE(messages.messageTexts().isEmpty());

    // The library still holds the login the window shows: the certificate can be read again.
    select(keyNode(slot));
    select(taskNode(slot, CertificatesTask));
    waitForKeyOperations(form());
    EXPECT_EQ(page(), ui::PageCertificates);
    EXPECT_EQ(certTree()->topLevelItemCount(), 1);
}

TEST_F(SessionKeepingTest, AKeyPluggedInDuringALoginKeepsThePageAndWhatWasTyped) {
    certForm();
    select(taskNode(0, CertificatesTask));
    typeInto("edtUPIN", QStringLiteral("12"));
    createKey("PZADDED0001");
    deviceEvent(true);

    EXPECT_EQ(page(), ui::PageLogin);
    EXPECT_EQ(selectedNode(), taskNode(workSlot(), CertificatesTask));
    EXPECT_EQ(find("edtUPIN")->text().size(), 2);
    typeInto("edtUPIN", QString::fromLatin1(kPin));
    pressEnter("edtUPIN");
    waitForKeyOperations(form());
    EXPECT_EQ(loginState(workSlot()), token::LoggedIn);
    EXPECT_EQ(page(), ui::PageCertificates);
}

TEST_F(SessionKeepingTest, OnlyTheKeyThatGoesLosesItsLogin) {
    createKey("PZOTHER0003");
    workingOnCertificates();
    ASSERT_EQ(quillard::VirtualKeyManager().unplug("PZOTHER0003"), 0);
    deviceEvent(false);
    ASSERT_EQ(keyList()->childCount(), 1);
    EXPECT_EQ(loginState(0), token::LoggedIn);
    EXPECT_EQ(page(), ui::PageCertificates);

    ASSERT_EQ(quillard::VirtualKeyManager().unplug(kWorkKey), 0);
    createKey("PZADDED0001");
    deviceEvent(false);
    ASSERT_EQ(keyList()->childCount(), 1);
    EXPECT_EQ(loginState(0), token::KeyPresent);
    EXPECT_EQ(token::keyTable().currentKey, 0);
    EXPECT_EQ(page(), ui::PageKeyInfo);
}

TEST_F(SessionKeepingTest, ABlankKeyPluggedInIsReportedOnceAndNeverTakesTheSelectionFromALogin) {
    workingOnCertificates();
    quillard::VirtualKeySettings blank;
    blank.serial = "PZBLANK0009";
    blank.label = "Blank";
    blank.initialised = false;
    blank.kdfIterations = 16;
    std::string serial;
    ASSERT_EQ(quillard::VirtualKeyManager().create(blank, serial), 0);
    deviceEvent(true);
    auto* checkTimer = part<QTimer>(form(), "TCheckInit");
    ASSERT_TRUE(checkTimer->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !checkTimer->isActive(); }, 3000));
    EXPECT_EQ(messages.messageTexts(), QStringList{QStringLiteral("设备未初始化，请与管理员联系")});
    EXPECT_EQ(page(), ui::PageCertificates);
    EXPECT_EQ(selectedNode(), taskNode(workSlot(), CertificatesTask));

    // The next rescan finds the blank key again: it has not arrived anew, so nothing is said.
    messages.clear();
    deviceEvent(true);
    QTest::qWait(500);
    EXPECT_TRUE(messages.messageTexts().isEmpty());
    EXPECT_EQ(page(), ui::PageCertificates);
}

TEST_F(SessionKeepingTest, RefreshLogsTheKeysOutInTheLibraryToo) {
    workingOnCertificates();
    ASSERT_TRUE(libraryHoldsLogin(0));
    actionsOf(form()).AcFindKeyRefresh->trigger();
    waitForKeyOperations(form());
    EXPECT_EQ(loginState(0), token::KeyPresent);
    EXPECT_FALSE(libraryHoldsLogin(0));
}

} // namespace
