// pellorzu-cli on tokens the test token module makes of a SoftHSM2 token: on a PIN-pad reader the login asks
// for nothing typed and says where to enter the PIN; a write-protected token refuses every write before the
// library is asked, and keeps what it holds.
#include "cli_world.h"
#include "tests/common/softhsm_token.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

class CliTokenKindsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (softhsm::modulePath().empty())
            GTEST_SKIP() << "SoftHSM2 is not installed";
        ASSERT_TRUE(softhsm::initToken("Kinds"));
        ASSERT_TRUE(softhsm::fillToken("Kinds", "kept", 1));
    }

    // Runs pellorzu-cli with the library on the test module over SoftHSM2, made as `settings` say.
    CliRun cliOn(const std::string& settings, const std::vector<std::string>& arguments,
                 const std::string& input = {}) {
        const auto file =
            world.file("token-double.conf", "module = " + softhsm::modulePath() + "\n" + settings);
        return world.cli(arguments, input,
                         {{"PZ_TEST_TOKEN_SETTINGS", file.string()},
                          {"QUILLARD_PKCS11_MODULES", PZ_TEST_TOKEN_MODULE_PATH}});
    }

    // The KEY argument that names the SoftHSM2 token, from `list --json`.
    std::string tokenKey(const std::string& settings) {
        const CliRun listed = cliOn(settings, {"list", "--json"});
        EXPECT_EQ(listed.status, 0) << listed.err;
        for (const QJsonValue& key : listed.json().array())
            if (key["label"].toString() == "Kinds")
                return key["module"].toString().toStdString() + ":" + key["serial"].toString().toStdString();
        ADD_FAILURE() << "the token is not listed: " << listed.out;
        return {};
    }

    CliWorld world;
};

TEST_F(CliTokenKindsTest, APinPadReaderLogsInWithoutATypedPin) {
    const std::string settings = "pin_pad = 1\npin = " + std::string(softhsm::kUserPin) + "\n";
    const std::string key = tokenKey(settings);
    // Nothing on standard input: a prompt would read end of file and fail.
    const CliRun listed = cliOn(settings, {"certs", key, "--pin-stdin"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.err.find("Enter the PIN on the reader"), std::string::npos) << listed.err;
    EXPECT_NE(listed.out.find("kept"), std::string::npos) << listed.out;

    // The reader refuses a wrong PIN: the refusal is the reader's, not a typed PIN's.
    const std::string wrongPad = "pin_pad = 1\npin = 99999999\n";
    EXPECT_NE(cliOn(wrongPad, {"certs", key, "--pin-stdin"}).status, 0);
}

TEST_F(CliTokenKindsTest, AWriteProtectedTokenRefusesWritesAndKeepsWhatItHolds) {
    const std::string settings = "write_protected = 1\n";
    const std::string key = tokenKey(settings);
    const std::string pin = std::string(softhsm::kUserPin) + "\n";
    for (const std::vector<std::string>& write :
         {std::vector<std::string>{"delete-container", key, "kept", "--pin-stdin"},
          std::vector<std::string>{"set-label", key, "Changed"}}) {
        const CliRun refused = cliOn(settings, write, pin);
        EXPECT_EQ(refused.status, 1) << write[0] << ": " << refused.err;
        EXPECT_NE(refused.err.find("write-protected"), std::string::npos) << write[0] << ": " << refused.err;
    }
    const CliRun listed = cliOn(settings, {"certs", key, "--pin-stdin"}, pin);
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("kept"), std::string::npos) << listed.out;
}

} // namespace
