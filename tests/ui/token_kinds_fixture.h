// The window over a SoftHSM2 token that the test token module wraps: the token made a PIN-pad reader, a
// write-protected token, a token without login or a slow one, as the settings a test gives say.
#pragma once

#include "cert_window_fixture.h"
#include "ui/pages/certificates_page.h"

#include <QTreeWidget>
#include <stdlib.h>

class TokenKindsTest : public CertTokenTest {
protected:
    ~TokenKindsTest() override {
        unsetenv("PZ_TEST_TOKEN_SETTINGS");
        unsetenv("QUILLARD_PKCS11_MODULES");
    }
    // The token as the test module makes it from `settings`, the module the window's library loads.
    void wrapToken(const std::string& settings) {
        const auto file = world.root() / "token-double.conf";
        ASSERT_TRUE(writeTestFile(file, "module = " + softhsm::modulePath() + "\n" + settings));
        setenv("PZ_TEST_TOKEN_SETTINGS", file.c_str(), 1);
        setenv("QUILLARD_PKCS11_MODULES", PZ_TEST_TOKEN_MODULE_PATH, 1);
    }
    void showToken() {
        certForm();
        ASSERT_EQ(token::keyTable().keyCount, 2);
    }
    QStringList certificateTree() {
        return treeLines(part<ui::CertificatesPage>(form(), "TabSheet5")->tvCert);
    }
};
