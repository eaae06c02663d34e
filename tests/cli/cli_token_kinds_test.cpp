// pellorzu-cli on tokens the test token module makes of a SoftHSM2 token: on a PIN-pad reader the login, the
// PIN changes, the unlock and the format ask for nothing typed and say where to enter the PINs; a
// write-protected token refuses every write before the library is asked, and keeps what it holds;
// provisioning refuses both kinds.
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

    // The KEY argument that names the SoftHSM2 token labelled `label`, from `list --json`.
    std::string tokenKey(const std::string& settings, const QString& label = QStringLiteral("Kinds")) {
        const CliRun listed = cliOn(settings, {"list", "--json"});
        EXPECT_EQ(listed.status, 0) << listed.err;
        for (const QJsonValue& key : listed.json().array())
            if (key["label"].toString() == label)
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

TEST_F(CliTokenKindsTest, APinPadReaderChangesUnlocksAndFormatsWithEveryPinOnThePad) {
    // What the person types on the pad: the PINs now, and the new ones when a PIN is set.
    const auto pad = [](const std::string& user, const std::string& so) {
        return "pin_pad = 1\npin = " + user + "\nso_pin = " + so +
               "\nnew_pin = 11112222\nnew_so_pin = 33334444\n";
    };
    const std::string key = tokenKey(pad(softhsm::kUserPin, softhsm::kSoPin));
    // Nothing on standard input: a prompt would read end of file and fail.
    const CliRun changed = cliOn(pad(softhsm::kUserPin, softhsm::kSoPin), {"change-pin", key, "--pin-stdin"});
    ASSERT_EQ(changed.status, 0) << changed.err;
    EXPECT_NE(changed.err.find("Enter the PIN on the reader"), std::string::npos) << changed.err;
    EXPECT_EQ(cliOn("", {"certs", key, "--pin-stdin"}, "11112222\n").status, 0) << "the new user PIN";

    const CliRun soChanged = cliOn(pad("11112222", softhsm::kSoPin), {"change-so-pin", key, "--pin-stdin"});
    ASSERT_EQ(soChanged.status, 0) << soChanged.err;
    const CliRun unlocked = cliOn(pad("00000000", "33334444"), {"unlock", key, "--pin-stdin"});
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_EQ(cliOn("", {"certs", key, "--pin-stdin"}, "11112222\n").status, 0);
    // The SO PIN typed wrong on the pad is the reader's refusal.
    EXPECT_EQ(cliOn(pad("11112222", "99999999"), {"unlock", key, "--pin-stdin"}).status, 4);

    const auto settings = world.file("pad.ini", "[InitData]\nLabelName=Padded\nmanufacture=Norvale\n"
                                                "default_sopin=87654321\ndefault_upin=24681357\n");
    const CliRun formatted =
        cliOn(pad("11112222", "33334444"), {"format", key, "--settings", settings.string(), "--pin-stdin"});
    ASSERT_EQ(formatted.status, 0) << formatted.err;
    // The settings' PINs were not used: the pad's are the key's.
    const std::string formattedKey = tokenKey("", QStringLiteral("Padded"));
    EXPECT_EQ(cliOn("", {"certs", formattedKey, "--pin-stdin"}, "11112222\n").status, 0);
    EXPECT_NE(cliOn("", {"certs", formattedKey, "--pin-stdin"}, "24681357\n").status, 0);
}

TEST_F(CliTokenKindsTest, ProvisioningRefusesWriteProtectedAndPinPadTokensBeforeTouchingThem) {
    const auto settings = world.file("provision.ini", "[InitData]\nLabelName=Staff key\nmanufacture=Norvale\n"
                                                      "default_sopin=87654321\ndefault_upin=12345678\n");
    for (const std::string& kind : {std::string("write_protected = 1\n"), std::string("pin_pad = 1\n")}) {
        const std::string key = tokenKey(kind);
        const CliRun refused = cliOn(kind, {"provision", key, "--settings", settings.string(), "--pin-stdin"},
                                     std::string(softhsm::kSoPin) + "\n");
        EXPECT_EQ(refused.status, 1) << kind << refused.err;
        const std::string said = refused.out + refused.err;
        EXPECT_TRUE(said.find("write-protected") != std::string::npos ||
                    said.find("PIN pad") != std::string::npos)
            << kind << said;
    }
    const CliRun listed =
        cliOn("", {"certs", tokenKey(""), "--pin-stdin"}, std::string(softhsm::kUserPin) + "\n");
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("kept"), std::string::npos) << "the token was not formatted: " << listed.out;
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
