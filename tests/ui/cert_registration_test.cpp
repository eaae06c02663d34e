// Registration of a key's certificates in the system store: the result codes, the skip rules, the two
// actions and their enabled states, and the tick that follows an import.
#include "cert_window_fixture.h"
#include "form_parts.h"
#include "ui/handlers/cert_registration_handler.h"

#include <QTimer>

namespace {

class CertRegistrationTest : public CertScriptedTest {
protected:
    CertRegistrationTest() {
        library->container_addcert_to_store = [this](const char* container, const char* csp, int32_t spec,
                                                     const uint8_t*, int32_t) {
            added.emplace_back(std::string(container) + "/" + std::to_string(spec));
            csps.emplace_back(csp);
            return added.size() == failAt ? storeFailure : int32_t(0);
        };
    }
    int32_t registerKey(int32_t key) {
        return part<ui::CertRegistrationHandler>(form(), "certRegistration")->RegisterKeyCerts(key);
    }

    std::vector<std::string> added;
    std::vector<std::string> csps;
    std::size_t failAt = 0; // the store refuses its failAt-th entry (1-based); 0 = never
    int32_t storeFailure = 0x55;
};

TEST_F(CertRegistrationTest, FirstRefusedStoreEntryEndsWithItsCodeAndKeepsWhatWentBefore) {
    containers[0] = {{"a", {{1, der("A1")}, {2, der("A2")}}}, {"b", {{1, der("B1")}, {2, der("B2")}}}};
    loggedIn();
    failAt = 4;
    EXPECT_EQ(registerKey(0), 20000 + 0x55);
    EXPECT_EQ(added, (std::vector<std::string>{"a/1", "a/2", "b/1", "b/2"}));
    EXPECT_EQ(csps.front(), "Norvale Tessra Zarto CSP V1.1");
    added.clear();
    failAt = 1;
    EXPECT_EQ(registerKey(0), 10000 + 0x55);
    listResult = 0x32;
    EXPECT_EQ(registerKey(0), 0x32);
}

TEST_F(CertRegistrationTest, EllipticAndNonZeroAlgorithmCertificatesAreSkippedSilently) {
    containers[0] = {{"ec", {{1, der("E")}}}, {"odd", {{2, der("O")}}}, {"rsa", {{2, der("R")}}}};
    library->container_get_pubkey = [](int32_t, const char* name, int32_t, int32_t* type, int32_t* bits,
                                       uint8_t*, int32_t*) {
        *type = std::string(name) == "ec" ? 3 : 0;
        *bits = 256;
        return int32_t(0);
    };
    auto info = library->helper_get_cert_info2;
    library->helper_get_cert_info2 = [info](const uint8_t* cert, int32_t length, uint16_t* subject,
                                            uint16_t* issuer, int32_t* version, char* serial, int32_t* from,
                                            int32_t* to, int32_t* algorithm) {
        const int32_t result = info(cert, length, subject, issuer, version, serial, from, to, algorithm);
        *algorithm = cert[0] == 'O' ? 1 : 0;
        return result;
    };
    loggedIn();
    action(&ui::MainActions::AcRegCert)->trigger();
    EXPECT_EQ(messages.messageTexts(), QStringList{"操作成功"});
    EXPECT_EQ(added, std::vector<std::string>{"rsa/2"});
}

TEST_F(CertRegistrationTest, ActionsReportFailureAndFollowTheContainerCount) {
    containers[0] = {{"a", {{1, der("A1")}}}};
    loggedIn();
    failAt = 1;
    action(&ui::MainActions::AcRegCert)->trigger();
    library->remove_all_certs_from_store = [](const char*) { return int32_t(0x30); };
    action(&ui::MainActions::AcUnRegCert)->trigger();
    EXPECT_EQ(messages.messageTexts(), (QStringList{"操作失败", "操作失败"}));

    letTheEventLoopIdle();
    EXPECT_TRUE(action(&ui::MainActions::AcRegCert)->isEnabled());
    containers[0].clear();
    action(&ui::MainActions::Acrefresh)->trigger();
    letTheEventLoopIdle();
    EXPECT_FALSE(action(&ui::MainActions::AcRegCert)->isEnabled());
    EXPECT_FALSE(action(&ui::MainActions::AcUnRegCert)->isEnabled());
}

TEST_F(CertRegistrationTest, TickRegistersTheKeyItWasArmedForOrNothingWhenThatKeyLeft) {
    keys.push_back(ScriptedKey{"Key B", "SER-B"});
    containers[0] = {{"on A", {{1, der("A")}}}};
    containers[1] = {{"on B", {{1, der("B")}}}};
    loggedIn();
    part<ui::CertRegistrationHandler>(form(), "certRegistration")->scheduleRegistration(1);
    EXPECT_TRUE(part<QTimer>(form(), "TRegCert")->isActive());
    part<ui::CertRegistrationHandler>(form(), "certRegistration")->TRegCertTimer();
    waitForKeyOperations(form());
    EXPECT_FALSE(part<QTimer>(form(), "TRegCert")->isActive());
    EXPECT_EQ(added, std::vector<std::string>{"on B/1"});

    added.clear();
    part<ui::CertRegistrationHandler>(form(), "certRegistration")->scheduleRegistration(1);
    keys.pop_back();
    form().ScanKeys();
    waitForKeyOperations(form());
    part<ui::CertRegistrationHandler>(form(), "certRegistration")->TRegCertTimer();
    waitForKeyOperations(form());
    EXPECT_TRUE(added.empty());
}

TEST_F(CertRegistrationTest, TickWaitsWhileAKeyIsInUse) {
    containers[0] = {{"a", {{1, der("A")}}}};
    loggedIn();
    part<ui::CertRegistrationHandler>(form(), "certRegistration")->scheduleRegistration(0);
    {
        const ui::KeyGuard::Hold hold(form().keyGuard());
        part<ui::CertRegistrationHandler>(form(), "certRegistration")->TRegCertTimer();
        EXPECT_TRUE(added.empty());
        EXPECT_TRUE(part<QTimer>(form(), "TRegCert")->isActive());
    }
    part<ui::CertRegistrationHandler>(form(), "certRegistration")->TRegCertTimer();
    waitForKeyOperations(form());
    EXPECT_EQ(added, std::vector<std::string>{"a/1"});
}

} // namespace
