// Not a test: pictures of the pages of a PIN-pad reader and of a write-protected token in both shipped
// languages, for people to look at. Disabled in normal runs; scripts/screenshots.sh runs it on Xvfb.
#include "screen_picture.h"
#include "token_kinds_fixture.h"
#include "ui/apply_language.h"

#include <QAction>

namespace {

class TokenKindsScreenshots : public TokenKindsTest {
protected:
    // Shows the token's pages of `tasks` in each language and saves each under `<language>-<kind>-<name>`.
    void shootPages(const QString& kind, const std::vector<std::pair<std::vector<int>, const char*>>& tasks,
                    bool logIn) {
        for (const char* file : {"CHS_2052", "EN_1033"}) {
            showInLanguage(form(), file);
            if (logIn && loginState(kTokenSlot) != token::LoggedIn)
                logInThroughWindow(kTokenSlot, QString::fromLatin1(softhsm::kUserPin));
            for (const auto& [path, name] : tasks) {
                QTreeWidgetItem* node = keyNode(kTokenSlot);
                for (int child : path)
                    node = node->child(child);
                select(node);
                waitForKeyOperations(form());
                letTheEventLoopIdle();
                saveScreenPicture(
                    QStringLiteral("%1-%2-%3").arg(QLatin1String(file), kind, QLatin1String(name)));
            }
        }
    }
};

} // namespace

TEST_F(TokenKindsScreenshots, DISABLED_APinPadReaderInBothLanguages) {
    wrapToken("pin_pad = 1\npin = " + std::string(softhsm::kUserPin) + "\n");
    showToken();
    shootPages(
        QStringLiteral("pin-pad"),
        {{{CertificatesTask}, "login"}, {{UserPinTask}, "user-pin"}, {{AdministrationTask, 2}, "unlock"}},
        false);
}

TEST_F(TokenKindsScreenshots, DISABLED_AWriteProtectedTokenInBothLanguages) {
    fillToken("pairs", 1, &rsaCredential());
    wrapToken("write_protected = 1\n");
    showToken();
    shootPages(QStringLiteral("write-protected"),
               {{{CertificatesTask}, "certificates"}, {{UserPinTask}, "user-pin"}, {{4}, "request"}}, true);
}
