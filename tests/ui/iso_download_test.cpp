// Writing an ISO image: the steps before the write and their messages, the block arithmetic of the write,
// the progress bar, the error text, unreadable files and a key replaced during the write; end to end on a
// virtual key, whose disk image then holds exactly the file's bytes followed by zeros.
#include "admin_pages_fixture.h"
#include "form_parts.h"
#include "i18n/outcome_texts.h"
#include "ui/handlers/iso_handler.h"
#include "ui/pages/iso_page.h"

#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <algorithm>

namespace {

struct Write {
    uint32_t first;
    uint32_t count;
    QByteArray data;
    bool operator==(const Write&) const = default;
};

class IsoDownloadTest : public AdminPagesTest {
protected:
    IsoDownloadTest() {
        goodPin = kUserPin;
        library->token_write_sectors = [this](int32_t, uint32_t first, uint32_t count, const void* data) {
            writes.push_back(
                {first, count, QByteArray(static_cast<const char*>(data), qsizetype(count) * 2048)});
            return writes.size() == failingWrite ? failureCode : 0;
        };
        library->quillard_disk_size = [](int32_t, uint64_t* bytes) {
            *bytes = uint64_t(1) << 30;
            return int32_t(0);
        };
    }
    QString imageFile(const QByteArray& bytes, const char* name = "image.iso") {
        const QString path = programFolder + QLatin1String(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static QByteArray randomBytes(qsizetype size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
        return bytes;
    }
    void openIso(int slot = 0) {
        readyForm();
        openAdmin(slot, IsoTask);
        ASSERT_EQ(page(), ui::PageIso);
    }
    void download(const QString& path, const QString& pin = QString::fromLatin1(kUserPin)) {
        typeInto("edtUPINForDownISO", pin);
        find("edtPath")->setText(path);
        // The button follows the fields once the window idles, as a person sees it.
        letTheEventLoopIdle();
        actionsOf(form()).AcDownISO->trigger();
    }
    QProgressBar* bar() { return part<ui::IsoPage>(form(), "TabSheet11")->PBISO; }

    std::vector<Write> writes;
    std::size_t failingWrite = 0;
    int32_t failureCode = 0;
};

TEST_F(IsoDownloadTest, BrowseOffersIsoFilesAndKeepsThePathOnCancel) {
    openIso();
    find("edtPath")->setText("kept.iso");
    messages.queueFileName("/images/chosen.iso");
    QTest::mouseClick(find<QWidget>("edtPathButton"), Qt::LeftButton);
    QTest::mouseClick(find<QWidget>("edtPathButton"), Qt::LeftButton);
    ASSERT_EQ(messages.fileDialogs().size(), 2);
    EXPECT_EQ(messages.fileDialogs().first().request.filter, "ISO File (*.iso)|*.iso");
    EXPECT_EQ(find("edtPath")->text(), "/images/chosen.iso");
}

TEST_F(IsoDownloadTest, ActionNeedsTheMinimumPinLengthAndAPath) {
    openIso();
    for (const auto& [pin, path, enabled] : std::vector<std::tuple<QString, QString, bool>>{
             {"1234", "a.iso", true}, {"123", "a.iso", false}, {"1234", "", false}}) {
        typeInto("edtUPINForDownISO", pin);
        find("edtPath")->setText(path);
        letTheEventLoopIdle();
        EXPECT_EQ(actionsOf(form()).AcDownISO->isEnabled(), enabled);
    }
}

TEST_F(IsoDownloadTest, StepsBeforeTheWriteStopWithTheirMessage) {
    openIso();
    download(programFolder + "missing.iso");
    download(programFolder); // a folder is no file
    EXPECT_TRUE(library->calls.empty());
    const QString path = imageFile("data");
    keys[0].locked = 1;
    download(path);
    EXPECT_EQ(library->calls,
              (std::vector<std::string>{"quillard_disk_size", "token_logout", "token_get_pin_state"}));
    keys[0].locked = 0;
    download(path, "9999");
    EXPECT_EQ(messages.messageTexts(),
              (QStringList{"ISO文件不存在", "ISO文件不存在", "USBKey已锁死", "用户PIN码不正确"}));
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(loginState(0), token::KeyPresent);
}

TEST_F(IsoDownloadTest, BlocksAreWholeSectorsAndOnlyTheLastIsShortAndPadded) {
    openIso();
    const QByteArray twoBlocks = randomBytes(65536 + 1000);
    int shownAtMost = 0;
    QObject::connect(bar(), &QProgressBar::valueChanged,
                     [&shownAtMost](int value) { shownAtMost = std::max(shownAtMost, value); });
    download(imageFile(twoBlocks));
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ((std::pair{writes[0].first, writes[0].count}), (std::pair{0u, 32u}));
    EXPECT_EQ((std::pair{writes[1].first, writes[1].count}), (std::pair{32u, 1u}));
    EXPECT_EQ(writes[0].data + writes[1].data, twoBlocks + QByteArray(2048 - 1000, '\0'));
    EXPECT_EQ(shownAtMost, bar()->maximum());
    EXPECT_EQ(bar()->maximum(), 64); // 66536 bytes are 64 whole KiB
    EXPECT_EQ(bar()->value(), 0) << "the page starts clean for the next image";

    writes.clear();
    download(imageFile(randomBytes(6144)));
    download(imageFile(randomBytes(6145)));
    download(imageFile(QByteArray()));
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].count, 3u);
    EXPECT_EQ(writes[1].count, 4u);
    EXPECT_EQ(writes[1].data.sliced(6145), QByteArray(2047, '\0'));
    EXPECT_EQ(messages.messageTexts(), (QStringList(4, "下载成功")));
    EXPECT_EQ(library->calls.back(), "token_logout");
}

TEST_F(IsoDownloadTest, FailedWriteStopsAtItsBlockWithTheCodeAfterTheText) {
    openIso();
    failingWrite = 2;
    failureCode = 31;
    download(imageFile(randomBytes(4 * 65536)));
    EXPECT_EQ(writes.size(), 2u);
    ASSERT_EQ(messages.messages().size(), 1);
    EXPECT_EQ(messages.messages().first().text, "下载失败(ErrorCode = 0x0000001F)");
    EXPECT_EQ(messages.messages().first().title, "提示 ");
    EXPECT_EQ(library->calls.back(), "token_logout");
    EXPECT_EQ(loginState(0), token::KeyPresent);
}

// Cancel is the one control that answers during the write: a click (through the window's input hold) stops
// the write before its next block, the key keeps what was written, and the message says how much.
TEST_F(IsoDownloadTest, CancelStopsTheWriteAfterItsBlockAndSaysHowMuchWasWritten) {
    openIso();
    QPushButton* cancel = part<ui::IsoPage>(form(), "TabSheet11")->btnCancelISO;
    EXPECT_TRUE(cancel->isHidden());
    auto write = library->token_write_sectors;
    library->token_write_sectors = [this, write, cancel](int32_t slot, uint32_t first, uint32_t count,
                                                         const void* data) {
        const int32_t result = write(slot, first, count, data);
        // The user clicks while the second block is written (this runs on the key operation worker).
        if (writes.size() == 2)
            QMetaObject::invokeMethod(
                cancel, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); }, Qt::QueuedConnection);
        return result;
    };
    download(imageFile(randomBytes(8 * 65536)));
    ASSERT_GE(writes.size(), 2u);
    EXPECT_LT(writes.size(), 8u);
    EXPECT_EQ(messages.messageTexts(), QStringList{i18n::isoCancelledText(int64_t(writes.size()) * 65536)});
    EXPECT_EQ(library->calls.back(), "token_logout");
    EXPECT_TRUE(cancel->isHidden());
    EXPECT_EQ(bar()->value(), 0);
}

TEST_F(IsoDownloadTest, ReadErrorIsAFailureNotTheEndOfTheImage) {
    openIso();
    // Reading this file fails at its first byte.
    download(QStringLiteral("/proc/self/mem"));
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(messages.messageTexts(), QStringList{"下载失败(ErrorCode = 0x0A000011)"});
    EXPECT_EQ(library->calls.back(), "token_logout");
}

TEST_F(IsoDownloadTest, KeyReplacedDuringTheWriteStopsIt) {
    openIso();
    // After the first block the library reports another key at the slot.
    auto reportInfo = library->token_get_info;
    library->token_get_info = [this, reportInfo](auto... fields) {
        const int32_t result = reportInfo(fields...);
        if (!writes.empty())
            std::strcpy(std::get<1>(std::tie(fields...)), "OTHER");
        return result;
    };
    download(imageFile(randomBytes(3 * 65536)));
    EXPECT_EQ(writes.size(), 1u);
    EXPECT_EQ(messages.messageTexts(), QStringList{"下载失败(ErrorCode = 0x00000032)\rUSBKey已被拔出"});
}

TEST_F(IsoDownloadTest, RescanTicksWaitWhileTheImageIsWritten) {
    openIso();
    typeInto("edtUPINForDownISO", QString::fromLatin1(kUserPin));
    find("edtPath")->setText(imageFile(randomBytes(3 * 65536)));
    letTheEventLoopIdle();
    part<QTimer>(form(), "TFindUSBKey")->setInterval(20);
    part<QTimer>(form(), "TFindUSBKey")->start();
    const int scansBefore = library->count("token_find");
    actionsOf(form()).AcDownISO->trigger();
    EXPECT_EQ(library->count("token_find"), scansBefore);
    EXPECT_EQ(writes.size(), 3u);
    part<QTimer>(form(), "TFindUSBKey")->stop();
}

// The same page over a virtual key and the real library.
class IsoDownloadOnVirtualKeyTest : public IsoDownloadTest {
protected:
    IsoDownloadOnVirtualKeyTest() {
        useVirtualKeys();
        quillard::VirtualKeySettings settings = virtualKey("DISK01");
        settings.diskBytes = 4u << 20;
        createVirtualKey(settings);
        createVirtualKey(virtualKey("SMALL02")); // 64 sectors
        shownForm();
        part<QTimer>(form(), "TCheckInit")->stop();
    }
    void downloadTo(int slot, const QByteArray& bytes) {
        select(adminNode(slot, IsoTask));
        download(imageFile(bytes));
    }
};

TEST_F(IsoDownloadOnVirtualKeyTest, DiskAreaHoldsTheImageFollowedByZeros) {
    // A 3 MiB image, then one whose size is no multiple of 2048 over its start.
    const QByteArray large = randomBytes(3 << 20);
    int shownAtMost = 0;
    QObject::connect(bar(), &QProgressBar::valueChanged,
                     [&shownAtMost](int value) { shownAtMost = std::max(shownAtMost, value); });
    downloadTo(0, large);
    EXPECT_EQ(shownAtMost, 3072);
    EXPECT_EQ(bar()->maximum(), 3072);
    EXPECT_EQ(bar()->value(), 0) << "the page starts clean for the next image";
    EXPECT_TRUE(find("edtUPINForDownISO")->text().isEmpty());
    const QByteArray small = randomBytes(5000);
    typeInto("edtUPINForDownISO", QString::fromLatin1(kUserPin));
    downloadTo(0, small);
    EXPECT_EQ(messages.messageTexts(), (QStringList{"下载成功", "下载成功"}));
    const QByteArray disk = diskImage("DISK01");
    ASSERT_EQ(disk.size(), 4 << 20);
    EXPECT_EQ(disk.first(5000), small);
    EXPECT_EQ(disk.sliced(5000, 6144 - 5000), QByteArray(6144 - 5000, '\0'));
    EXPECT_EQ(disk.sliced(6144, large.size() - 6144), large.sliced(6144));
    EXPECT_EQ(disk.sliced(3 << 20), QByteArray((4 << 20) - (3 << 20), '\0'));
    EXPECT_EQ(loginState(0), token::KeyPresent);
}

TEST_F(IsoDownloadOnVirtualKeyTest, AnImageLargerThanTheDiskAreaIsRefusedBeforeTheFirstBlock) {
    downloadTo(1, randomBytes(3 * 65536));
    // A 2 GiB image that takes no room on the disk of the test machine.
    const QString sparse = programFolder + QStringLiteral("sparse.iso");
    QFile file(sparse);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(qint64(2) << 30));
    file.close();
    select(adminNode(0, IsoTask));
    download(sparse);
    waitForKeyOperations(form());
    EXPECT_EQ(messages.messageTexts(), (QStringList{"ISO文件(0.2 MB)大于USBKey的光盘区(0.1 MB)",
                                                    "ISO文件(2048.0 MB)大于USBKey的光盘区(4.0 MB)"}));
    const QByteArray small = diskImage("SMALL02");
    EXPECT_EQ(small.count('\0'), small.size()) << "not one block was written";
    EXPECT_EQ(bar()->value(), 0);
}

TEST_F(IsoDownloadOnVirtualKeyTest, AKeyPulledDuringTheWriteSaysItWasRemoved) {
    select(adminNode(0, IsoTask));
    QTimer::singleShot(300, [] { quillard::VirtualKeyManager().unplug("DISK01"); });
    download(imageFile(randomBytes(3 << 20)));
    waitForKeyOperations(form());
    ASSERT_EQ(messages.messageTexts().size(), 1);
    EXPECT_TRUE(messages.messageTexts().front().startsWith(QStringLiteral("下载失败(ErrorCode = 0x")));
    EXPECT_TRUE(messages.messageTexts().front().endsWith(QStringLiteral(")\rUSBKey已被拔出")));
    EXPECT_EQ(bar()->value(), 0);
}

class IsoDownloadOnTokenTest : public IsoDownloadTest {
protected:
    void SetUp() override {
        useSoftHsmToken("Iso token");
        if (IsSkipped() || HasFatalFailure())
            return;
        shownForm();
        part<QTimer>(form(), "TCheckInit")->stop();
    }
};

TEST_F(IsoDownloadOnTokenTest, ATokenWithoutADiskAreaSaysSoBeforeAnyWrite) {
    select(adminNode(0, IsoTask));
    download(imageFile(randomBytes(4096)), QString::fromLatin1(softhsm::kUserPin));
    waitForKeyOperations(form());
    EXPECT_EQ(messages.messageTexts(), QStringList{"下载失败\r此USBKey不支持该操作"});
}

} // namespace
