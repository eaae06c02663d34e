// Keys that come and go by themselves: virtual keys plugged and unplugged with pellorzu-vkey while the window
// runs (the real folder watch and the real library), recorded udev events fed through the same code, and a
// library call that finds the current key gone.
#include "form_parts.h"
#include "pin_pages_fixture.h"
#include "platform/token_slot_poll.h"
#include "platform/udev_device_source.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "ui/device_watcher.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProcess>
#include <QTest>

namespace {

constexpr int kSettleMs = 5000;

class VirtualKeyArrivalTest : public KeyWindowTest {
protected:
    VirtualKeyArrivalTest() {
        library.reset();
        tool = QCoreApplication::applicationDirPath() + QStringLiteral("/pellorzu-vkey");
    }
    void SetUp() override {
        if (!QFileInfo(tool).isExecutable())
            GTEST_SKIP() << "pellorzu-vkey has not been built";
    }
    void createKey(const std::string& serial, int32_t productId, bool plugged) {
        quillard::VirtualKeySettings settings;
        settings.serial = serial;
        settings.label = "Key " + serial;
        settings.productId = productId;
        settings.userPin = "1234";
        settings.soPin = "87654321";
        settings.userPolicy = {4, 8, 5};
        settings.kdfIterations = 16;
        settings.plugged = plugged;
        std::string made;
        std::string detail;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, made, &detail), 0) << detail;
    }
    void runTool(const QStringList& arguments) {
        QProcess process;
        process.start(tool, arguments);
        ASSERT_TRUE(process.waitForFinished(10000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }
    int keyNodes() { return keyList()->childCount(); }
    QString firstKeyText() { return keyNodes() > 0 ? keyNode(0)->text(0) : QString(); }

    QString tool;
};

} // namespace

TEST_F(VirtualKeyArrivalTest, PluggingAndUnpluggingUpdatesTheTreeByItself) {
    createKey("VKSTART", 0xE917, true);
    createKey("VKLATER", 0xDB08, false);
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    ASSERT_EQ(keyNodes(), 1);

    runTool({QStringLiteral("plug"), QStringLiteral("VKLATER")});
    QTRY_COMPARE_WITH_TIMEOUT(keyNodes(), 2, kSettleMs);
    EXPECT_EQ(part<TUSB>(form(), "usbWatcher")->ProductId, 0xDB08);
    // No arrival address is configured.
    EXPECT_TRUE(form().calls.isEmpty());

    // The key that was there at start still reports its product id when it goes.
    runTool({QStringLiteral("unplug"), QStringLiteral("VKSTART")});
    QTRY_COMPARE_WITH_TIMEOUT(keyNodes(), 1, kSettleMs);
    EXPECT_EQ(part<TUSB>(form(), "usbWatcher")->ProductId, 0xE917);
    EXPECT_EQ(firstKeyText(), QStringLiteral("Key VKLATER"));
}

TEST_F(VirtualKeyArrivalTest, KeysOfOtherProductsAreSeenButNotScannedFor) {
    createKey("VKOTHER", 0x1234, false);
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    const QString before = firstKeyText();
    runTool({QStringLiteral("plug"), QStringLiteral("VKOTHER")});
    QTRY_COMPARE_WITH_TIMEOUT(part<TUSB>(form(), "usbWatcher")->ProductId, 0x1234, kSettleMs);
    EXPECT_FALSE(part<QTimer>(form(), "TFindUSBKey")->isActive());
    // Still the node of the first scan, which found no key.
    EXPECT_EQ(firstKeyText(), before);
}

namespace {

class UdevEventTest : public PinPagesTest {
protected:
    platform::UdevDeviceSource::Properties event(const char* action, const char* model) {
        return {{QStringLiteral("ACTION"), QString::fromLatin1(action)},
                {QStringLiteral("SUBSYSTEM"), QStringLiteral("usb")},
                {QStringLiteral("DEVTYPE"), QStringLiteral("usb_device")},
                {QStringLiteral("ID_VENDOR_ID"), QStringLiteral("096e")},
                {QStringLiteral("ID_MODEL_ID"), QString::fromLatin1(model)},
                {QStringLiteral("ID_SERIAL_SHORT"), QStringLiteral("0001")}};
    }
    void deliver(const char* action, const char* model) {
        part<TUSB>(form(), "usbWatcher")->udevSource().deliver(event(action, model));
    }
};

} // namespace

TEST_F(UdevEventTest, ARecordedArrivalOfAMakersKeyRescansAndOpensTheArrivalAddress) {
    keys = {ScriptedKey{}};
    writeArrivalSettings();
    readyForm();
    deliver("add", "e618");
    EXPECT_EQ(part<TUSB>(form(), "usbWatcher")->ProductId, 0xE618);
    EXPECT_TRUE(part<QTimer>(form(), "TFindUSBKey")->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(library->count("token_find"), 1, kSettleMs);
    waitForKeyOperations(form());
    EXPECT_FALSE(part<QTimer>(form(), "TFindUSBKey")->isActive());
    EXPECT_EQ(form().calls, QStringList{QStringLiteral("OpenArrivalURL")});
}

TEST_F(UdevEventTest, OtherDevicesAndOtherActionsStartNoScan) {
    keys = {ScriptedKey{}};
    readyForm();
    deliver("add", "0001");
    deliver("bind", "e917");
    EXPECT_FALSE(part<QTimer>(form(), "TFindUSBKey")->isActive());
    deliver("remove", "db08");
    EXPECT_TRUE(part<QTimer>(form(), "TFindUSBKey")->isActive());
}

TEST_F(UdevEventTest, RescansFromDeviceEventsWaitWhileAKeyIsInUse) {
    keys = {ScriptedKey{}};
    readyForm();
    {
        const ui::KeyGuard::Hold hold(form().keyGuard());
        deliver("add", "e917");
        ui::ProcessMessagesFor(2500);
        EXPECT_EQ(library->count("token_find"), 0);
    }
    QTRY_COMPARE_WITH_TIMEOUT(library->count("token_find"), 1, kSettleMs);
}

TEST_F(UdevEventTest, ALoginThatFindsTheKeyGoneRescansInsteadOfSayingLocked) {
    keys = {ScriptedKey{}};
    readyForm();
    select(taskNode(0, CertificatesTask));
    // The key was pulled out before any rescan saw it go.
    library->token_login = [this](int32_t, const char*, int32_t*) {
        keys.clear();
        return int32_t(0x32);
    };
    library->calls.clear();
    typeInto("edtUPIN", "1234");
    pressEnter("edtUPIN");
    waitForKeyOperations(form());
    EXPECT_EQ(messages.messageTexts(), QStringList{"USBKey已被拔出"});
    EXPECT_EQ(library->count("token_find"), 1);
    EXPECT_EQ(keyList()->childCount(), 1); // the scan's error node
    EXPECT_EQ(page(), ui::PageKeyInfo);
}

TEST_F(UdevEventTest, TheWatcherGoesBeforeTheLibraryShutsDown) {
    keys = {ScriptedKey{}};
    readyForm();
    QPointer<TUSB> watcher = part<TUSB>(form(), "usbWatcher");
    bool watcherGoneAtShutdown = false;
    library->uninit_pkcs11 = [&watcher, &watcherGoneAtShutdown] {
        watcherGoneAtShutdown = watcher.isNull();
        return int32_t(0);
    };
    destroyForm();
    EXPECT_TRUE(watcherGoneAtShutdown);
}

TEST_F(UdevEventTest, ATokenThatCameOrWentRescansAndTheLibraryIsNotAskedWhileAKeyIsInUse) {
    keys = {ScriptedKey{}};
    readyForm();
    int asked = 0;
    library->quillard_tokens_changed = [&asked](int32_t* changed) {
        *changed = ++asked == 1 ? 0 : 1;
        return int32_t(0);
    };
    part<TUSB>(form(), "usbWatcher")->tokenSource().poll();
    waitForKeyOperations(form());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(part<QTimer>(form(), "TFindUSBKey")->isActive()) << "nothing changed";
    {
        const ui::KeyGuard::Hold hold(form().keyGuard());
        part<TUSB>(form(), "usbWatcher")->tokenSource().poll();
        EXPECT_EQ(asked, 1) << "a key operation holds the library";
    }
    part<TUSB>(form(), "usbWatcher")->tokenSource().poll();
    waitForKeyOperations(form());
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(part<QTimer>(form(), "TFindUSBKey")->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(library->count("token_find"), 1, kSettleMs);
}
