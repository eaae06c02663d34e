// The address opened when keys arrive: trimmed, read as an address, opened by the desktop or the browser, and
// never handed over when it is not a valid address.
#include "platform/shell_open.h"
#include "ui/handlers/arrival_address.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

class ArrivalAddressTest : public ::testing::Test {
protected:
    ArrivalAddressTest() {
        platform::setShellHandlers({
            [this](const QUrl& url) {
                opened << QStringLiteral("open ") + url.toString(QUrl::FullyEncoded);
                return true;
            },
            [this](const QString& program, const QStringList& arguments) {
                opened << program + QLatin1Char(' ') + arguments.join(QLatin1Char('|'));
                return true;
            },
        });
    }
    ~ArrivalAddressTest() override { platform::setShellHandlers(platform::desktopShellHandlers()); }

    QStringList opened;
};

} // namespace

TEST_F(ArrivalAddressTest, ModeZeroOpensWithTheDesktopAndAnyOtherModeWithTheBrowser) {
    ui::openArrivalUrl(QStringLiteral(" \t https://example.com/a b\r\n\x01"), 0);
    ui::openArrivalUrl(QStringLiteral("www.example.com"), 1);
    ui::openArrivalUrl(QStringLiteral("https://example.com/"), 2);
    EXPECT_EQ(opened, (QStringList{QStringLiteral("open https://example.com/a%20b"),
                                   QStringLiteral("x-www-browser http://www.example.com"),
                                   QStringLiteral("x-www-browser https://example.com/")}));
}

TEST_F(ArrivalAddressTest, BlankTextAndTextThatIsNoAddressOpenNothing) {
    for (int mode : {0, 1}) {
        ui::openArrivalUrl(QStringLiteral("   \t\r\n"), mode);
        ui::openArrivalUrl(QStringLiteral("--remote-debugging-port=9222"), mode);
        ui::openArrivalUrl(QStringLiteral(" -new-instance"), mode);
    }
    EXPECT_TRUE(opened.isEmpty()) << opened.join(QLatin1Char('\n')).toStdString();
}
