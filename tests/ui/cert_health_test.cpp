// Certificate and PIN health in the window, on virtual keys holding certificates made for the test: the
// tree's badges and tooltips, the viewer's status and chain, the notice after a scan (once per key and day,
// only for keys that arrived) and the question before importing a certificate outside its validity.
#include "cert_window_fixture.h"
#include "form_parts.h"
#include "ui/cert_health_badge.h"
#include "ui/cert_viewer_dialog.h"
#include "ui/expiry_notice_log.h"
#include "ui/filesystem_icons.h"
#include "ui/import_dialog.h"

#include <QFileInfo>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

using quillard::Credential;
using quillard::demo::KeyType;
using quillard::demo::makeCredential;
using token::flows::CertificateState;

constexpr long kDay = 86400;

const Credential& credential(const char* name, quillard::demo::Validity validity) {
    static std::map<std::string, Credential> made;
    auto found = made.find(name);
    if (found == made.end())
        found = made.emplace(name, makeCredential(KeyType::EcP256, name, validity)).first;
    return found->second;
}
const Credential& expiring() {
    return credential("Soon", {-kDay, 3 * kDay + 3600});
}
const Credential& expired() {
    return credential("Gone", {-400 * kDay, -2 * kDay});
}
const Credential& notYet() {
    return credential("Later", {10 * kDay, 400 * kDay});
}
const Credential& valid() {
    return credential("Fine", {-kDay, 365 * kDay});
}

class CertHealthTest : public CertVirtualKeyTest {
protected:
    static int stateOf(QTreeWidgetItem* node) {
        const QVariant state = node->data(0, ui::kCertificateStateRole);
        return state.isValid() ? state.toInt() : -1;
    }
    // The notices shown so far.
    QStringList notices() const {
        QStringList texts;
        for (const QString& text : messages.messageTexts())
            if (text.contains(QStringLiteral("即将过期或已过期")))
                texts << text;
        return texts;
    }
    void refresh() {
        action(&ui::MainActions::AcFindKeyRefresh)->trigger();
        waitForKeyOperations(form());
    }
};

TEST_F(CertHealthTest, TreeNodesShowTheirStateWithABadgeAndATooltip) {
    createKey("VK000001");
    fill("VK000001", "First", 1, &expiring());
    fill("VK000001", "First", 2, &expired());
    fill("VK000001", "Second", 1, &notYet());
    fill("VK000001", "Second", 2, &valid());
    loggedIn();
    waitForKeyOperations(form());
    QTreeWidgetItem* soon = certNode(0, 0, 0);
    ASSERT_EQ(soon->text(0), "Soon");
    EXPECT_EQ(stateOf(soon), int(CertificateState::Expiring));
    EXPECT_EQ(stateOf(certNode(0, 1, 0)), int(CertificateState::Expired));
    EXPECT_EQ(stateOf(certNode(1, 0, 0)), int(CertificateState::NotYetValid));
    EXPECT_EQ(stateOf(certNode(1, 1, 0)), int(CertificateState::Valid));
    EXPECT_EQ(stateOf(certNode(0, 0)), -1) << "only the subject node stands for the certificate";

    const QStringList tip = soon->toolTip(0).split('\n');
    ASSERT_EQ(tip.size(), 4);
    EXPECT_EQ(tip[0], "即将过期");
    EXPECT_TRUE(tip[1].startsWith("有效期至: ")) << tip[1].toStdString();
    EXPECT_EQ(tip[2], "剩余3天");
    EXPECT_EQ(tip[3], "证书链: 自签名");
    EXPECT_TRUE(certNode(0, 1, 0)->toolTip(0).startsWith("已过期"));
    EXPECT_TRUE(certNode(1, 0, 0)->toolTip(0).startsWith("尚未生效"));

    // A badge on the icon of each certificate that needs attention, none on a valid one.
    const QImage plain =
        part<ui::ImageList>(form(), "IFilesystem")->icon(ui::IconCertificate).pixmap(16).toImage();
    EXPECT_NE(soon->icon(0).pixmap(16).toImage(), plain);
    EXPECT_NE(certNode(0, 1, 0)->icon(0).pixmap(16).toImage(), soon->icon(0).pixmap(16).toImage())
        << "expired looks unlike expiring";
    EXPECT_EQ(certNode(1, 1, 0)->icon(0).pixmap(16).toImage(), plain);
}

TEST_F(CertHealthTest, TheViewerShowsStatusAndChain) {
    createKey("VK000001");
    fill("VK000001", "First", 1, &expiring());
    loggedIn();
    waitForKeyOperations(form());
    selectCert(certNode(0, 0, 0));
    QString status, chain;
    ui::CertViewerDialog::setShownHook([&](ui::CertViewerDialog& dialog) {
        status = dialog.findChild<QLabel*>("valueStatus")->text();
        chain = dialog.findChild<QLabel*>("valueChain")->text();
    });
    action(&ui::MainActions::AcListCert)->trigger();
    waitForKeyOperations(form());
    ui::CertViewerDialog::setShownHook(nullptr);
    EXPECT_TRUE(status.startsWith("即将过期, 有效期至: ")) << status.toStdString();
    EXPECT_TRUE(status.endsWith(" UTC, 剩余3天")) << status.toStdString();
    EXPECT_EQ(chain, "自签名");
}

TEST_F(CertHealthTest, ANoticeNamesArrivedKeysWithExpiringCertificatesOncePerDay) {
    createKey("VK000001");
    fill("VK000001", "First", 1, &expiring());
    fill("VK000001", "First", 2, &notYet());
    createKey("VK000002");
    fill("VK000002", "Other", 1, &valid());
    shownForm();
    waitForKeyOperations(form());
    ASSERT_EQ(notices().size(), 1) << messages.messageTexts().join('|').toStdString();
    const QStringList lines = notices()[0].split('\r');
    EXPECT_EQ(lines[0], "USBKey Key VK000001 上的以下证书即将过期或已过期：");
    ASSERT_EQ(lines.size(), 2) << "a certificate not yet valid is no expiry";
    EXPECT_TRUE(lines[1].startsWith("Soon: 即将过期, 有效期至 ")) << lines[1].toStdString();

    // A rescan keeps the keys it had: no notice. A key that arrives gets its own.
    refresh();
    EXPECT_EQ(notices().size(), 1);
    createKey("VK000003");
    fill("VK000003", "Third", 1, &expired());
    refresh();
    ASSERT_EQ(notices().size(), 2);
    EXPECT_TRUE(notices()[1].contains("Key VK000003"));
    EXPECT_TRUE(notices()[1].contains("Gone: 已过期"));

    // The same day a new window tells nothing again.
    destroyForm();
    messages.clear();
    shownForm();
    waitForKeyOperations(form());
    EXPECT_TRUE(notices().isEmpty());
    const QFileInfo log(GetUserConfigFolder() + "ExpiryNotices.txt");
    EXPECT_EQ(log.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup), 0);
}

TEST(ExpiryNoticeLogTest, KeepsTodaysKeysAndForgetsOlderDays) {
    TempWorld world;
    const QString path = QString::fromStdString((world.root() / "notices.txt").string());
    const QDate today(2026, 12, 10);
    {
        ui::ExpiryNoticeLog log(path);
        EXPECT_TRUE(log.record("virtual:A", today.addDays(-1)));
        EXPECT_TRUE(log.record("virtual:B", today));
        EXPECT_TRUE(log.toldOn("virtual:A", today.addDays(-1)));
    }
    ui::ExpiryNoticeLog again(path);
    EXPECT_TRUE(again.toldOn("virtual:B", today));
    EXPECT_FALSE(again.toldOn("virtual:A", today.addDays(-1))) << "only the day written last is kept";
    EXPECT_FALSE(again.toldOn("virtual:B", today.addDays(1)));
    // A log that is not ours to read is an empty log, never a failure.
    writeTestFile(world.root() / "garbage.txt", "no tab here\n\tnodate\nkey\tnot-a-date\n");
    EXPECT_FALSE(ui::ExpiryNoticeLog(QString::fromStdString((world.root() / "garbage.txt").string()))
                     .toldOn("key", today));
}

TEST_F(CertHealthTest, ImportingAnExpiredCertificateAsksFirstWithItsDates) {
    createKey("VK000001");
    fill("VK000001", "Holder", 0, nullptr);
    loggedIn();
    const auto path = world.root() / "gone.cer";
    ASSERT_TRUE(quillard::demo::writeCertificateFile(path, expired(), true));
    auto importFile = [&](ui::MessageAnswer answer) {
        messages.queueAnswer(answer);
        ui::TIMForm::setShownHook([&](ui::TIMForm& dialog) {
            dialog.cbContName->setCurrentIndex(0);
            dialog.chooseFile(QString::fromStdString(path.string()));
            dialog.rb3->click();
            dialog.btnOK->click();
        });
        action(&ui::MainActions::AcInputCert)->trigger();
        ui::TIMForm::setShownHook(nullptr);
        waitForKeyOperations(form());
    };
    importFile(ui::MessageAnswer::No);
    ASSERT_FALSE(messages.messages().isEmpty());
    const QString question = messages.messages().first().text;
    EXPECT_TRUE(question.startsWith("此证书已过期。\r有效期：")) << question.toStdString();
    EXPECT_TRUE(question.endsWith("UTC\r仍要导入吗？")) << question.toStdString();
    EXPECT_EQ(treeLines(certTree()), QStringList{"Holder(容器)"}) << "nothing imported after No";

    messages.clear();
    importFile(ui::MessageAnswer::Yes);
    EXPECT_TRUE(treeLines(certTree()).contains("    Gone"));
}

} // namespace
