// pellorzu-cli check and import's refusal of certificates outside their validity, on virtual keys holding
// certificates made for the test: valid for a year, expiring in 3 days, expired, not yet valid, self-signed,
// and issued by a test CA that is (or is not) in the test's own trust store.
#include "cli_world.h"
#include "tests/common/softhsm_token.h"
#include "tools/demo_credentials.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace {

using quillard::Credential;
using quillard::demo::KeyType;
using quillard::demo::makeCredential;
using quillard::demo::Validity;

const std::string kUserPin = "12345678\n";
constexpr long kDay = 86400;

class CliCheckTest : public ::testing::Test {
protected:
    CliCheckTest()
        : authority(makeCredential(KeyType::EcP256, "Test CA", {-30 * kDay, 3650 * kDay}, nullptr, true)) {
        // The trust store the checks see holds the test CA alone.
        EXPECT_TRUE(quillard::demo::writeCertificateFile(world.root() / "trusted.pem", authority, true));
        std::filesystem::create_directories(world.root() / "no-certs");
    }

    // The environment that makes the test CA the only trusted one.
    std::map<std::string, std::string> trustStore(const std::string& file = "trusted.pem") const {
        return {{"SSL_CERT_FILE", (world.root() / file).string()},
                {"SSL_CERT_DIR", (world.root() / "no-certs").string()}};
    }

    Credential issued(const std::string& name, Validity validity, const Credential* issuer) {
        return makeCredential(KeyType::EcP256, name, validity, issuer);
    }

    // Imports `credential` into a new container of `serial`, outside its validity or not.
    void put(const std::string& serial, const Credential& credential) {
        const auto path = world.root() / (serial + std::to_string(++files) + ".p12");
        ASSERT_TRUE(quillard::demo::writePkcs12File(path, credential, "pass", false));
        const CliRun run = world.cli({"import", serial, path.string(), "--allow-expired", "--pin-stdin"},
                                     kUserPin + "pass\n");
        ASSERT_EQ(run.status, 0) << run.err;
    }

    CliRun check(std::vector<std::string> arguments, const std::string& input = {}) const {
        arguments.insert(arguments.begin(), "check");
        return world.cli(arguments, input, trustStore());
    }

    // The certificate of `report` whose subject names `name`.
    static QJsonObject certificateNamed(const QJsonObject& report, const QString& name) {
        for (const QJsonValue& certificate : report["certificates"].toArray())
            if (certificate.toObject()["subject"].toString().contains(name))
                return certificate.toObject();
        ADD_FAILURE() << "no certificate " << name.toStdString();
        return {};
    }

    // Three keys: one with a certificate valid for a year, one with one expiring in 3 days, one with the
    // rest.
    void makeKeys() {
        world.createKey("CHECKOK1");
        world.createKey("CHECKWRN");
        world.createKey("CHECKBAD");
        put("CHECKOK1", issued("Valid year", {-kDay, 365 * kDay}, &authority));
        put("CHECKWRN", issued("Expiring", {-10 * kDay, 3 * kDay + 3600}, &authority));
        put("CHECKBAD", issued("Expired", {-400 * kDay, -2 * kDay - 3600}, &authority));
        put("CHECKBAD", issued("Not yet", {10 * kDay, 400 * kDay}, &authority));
        put("CHECKBAD", issued("Self", {-kDay, 365 * kDay}, nullptr));
        const Credential stranger =
            makeCredential(KeyType::EcP256, "Other CA", {-kDay, 3650 * kDay}, nullptr, true);
        put("CHECKBAD", issued("Stranger", {-kDay, 365 * kDay}, &stranger));
    }

    CliWorld world;
    Credential authority;
    int files = 0;
};

TEST_F(CliCheckTest, JsonGivesEachCertificateItsStateDaysAndChain) {
    makeKeys();
    const CliRun run = check({"CHECKWRN", "CHECKBAD", "--json"});
    EXPECT_EQ(run.status, 7) << run.err;
    const QJsonArray keys = run.json().array();
    ASSERT_EQ(keys.size(), 2);
    const QJsonObject warning = keys[0].toObject();
    EXPECT_EQ(warning["serial"].toString(), "CHECKWRN");
    EXPECT_EQ(warning["module"].toString(), "virtual");
    EXPECT_EQ(warning["status"].toString(), "warning");
    const QJsonObject expiring = certificateNamed(warning, "Expiring");
    EXPECT_EQ(expiring["state"].toString(), "expiring");
    EXPECT_EQ(expiring["daysLeft"].toInt(), 3);
    EXPECT_EQ(expiring["chain"].toString(), "trusted");
    EXPECT_EQ(expiring["spec"].toString(), "exchange");
    EXPECT_TRUE(expiring["issuer"].toString().contains("Test CA"));
    EXPECT_TRUE(expiring["notAfter"].toString().endsWith('Z'));
    EXPECT_FALSE(expiring["container"].toString().isEmpty());
    const QJsonObject pin = warning["userPin"].toObject();
    EXPECT_EQ(pin["state"].toString(), "ok");
    EXPECT_EQ(pin["retriesLeft"].toInt(), pin["maxRetries"].toInt());
    EXPECT_FALSE(pin["locked"].toBool());
    EXPECT_EQ(warning["soPin"].toObject()["state"].toString(), "ok");

    const QJsonObject problem = keys[1].toObject();
    EXPECT_EQ(problem["status"].toString(), "problem");
    EXPECT_EQ(problem["certificates"].toArray().size(), 4);
    EXPECT_EQ(certificateNamed(problem, "Expired")["state"].toString(), "expired");
    EXPECT_EQ(certificateNamed(problem, "Expired")["daysLeft"].toInt(), -3);
    EXPECT_EQ(certificateNamed(problem, "Expired")["chain"].toString(), "trusted")
        << "the chain is judged apart from the dates";
    EXPECT_EQ(certificateNamed(problem, "Not yet")["state"].toString(), "notYetValid");
    EXPECT_EQ(certificateNamed(problem, "Self")["state"].toString(), "valid");
    EXPECT_EQ(certificateNamed(problem, "Self")["chain"].toString(), "selfSigned");
    EXPECT_EQ(certificateNamed(problem, "Stranger")["chain"].toString(), "issuerUnknown");

    // Without the test CA in the trust store its certificates have an unknown issuer.
    const CliRun untrusted = world.cli({"check", "CHECKWRN", "--json"}, {}, trustStore("missing.pem"));
    EXPECT_EQ(certificateNamed(untrusted.json().array()[0].toObject(), "Expiring")["chain"].toString(),
              "issuerUnknown");
}

TEST_F(CliCheckTest, ExitCodesFollowTheWorstKeyAndTheWarningWindow) {
    makeKeys();
    EXPECT_EQ(check({"CHECKOK1"}).status, 0);
    EXPECT_EQ(check({"CHECKWRN"}).status, 6);
    EXPECT_EQ(check({"CHECKOK1", "CHECKWRN"}).status, 6);
    EXPECT_EQ(check({}).status, 7) << "every key, the bad one included";
    EXPECT_EQ(check({"CHECKWRN", "--days", "2"}).status, 0);
    EXPECT_EQ(check({"CHECKOK1", "--days", "400"}).status, 6);
    EXPECT_EQ(check({"CHECKOK1", "--days", "-1"}).status, 2);
    EXPECT_EQ(check({"NOSUCHKEY"}).status, 3);

    // The reminder days of the user's settings are the default window.
    const QByteArray settings = QByteArray("<r><BaseInfo><OpenURL OpenMode=\"0\" URL=\"\" BrowserMode=\"0\"/>"
                                           "<CertEndDay CertDayMode=\"1\" CertDay=\"2\"/><LanguageID>1033"
                                           "</LanguageID><DefaultPIN>1</DefaultPIN></BaseInfo></r>")
                                    .toBase64();
    world.file("config/Norvale/PellorZu/MgrConfig.ini", settings.toStdString());
    EXPECT_EQ(check({"CHECKWRN"}).status, 0);

    // One line per key and per certificate.
    const CliRun text = check({"CHECKWRN"});
    EXPECT_NE(text.out.find("CHECKWRN (virtual)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Expiring"), std::string::npos);
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 2);
}

TEST_F(CliCheckTest, PinStatesLowFinalTryAndLockedWarnAndFail) {
    world.createKey("CHECKPIN");
    auto wrongLogins = [this](int count) {
        for (int i = 0; i < count; ++i)
            world.cli({"certs", "CHECKPIN", "--pin-stdin"}, "99999999\n");
    };
    auto userPin = [this] {
        return check({"CHECKPIN", "--json"}).json().array()[0].toObject()["userPin"].toObject();
    };
    const int most = userPin()["maxRetries"].toInt();
    ASSERT_GE(most, 4);
    wrongLogins(most / 2 + 1);
    EXPECT_EQ(userPin()["state"].toString(), "low");
    EXPECT_EQ(check({"CHECKPIN"}).status, 6);
    wrongLogins(most - (most / 2 + 1) - 1);
    EXPECT_EQ(userPin()["state"].toString(), "finalTry");
    // A PIN given on its final try is not tried: the count stays, the check says why.
    const CliRun notTried = check({"CHECKPIN", "--pin-stdin"}, "99999999\n");
    EXPECT_EQ(notTried.status, 6);
    EXPECT_NE(notTried.err.find("not used"), std::string::npos) << notTried.err;
    EXPECT_EQ(userPin()["retriesLeft"].toInt(), 1);
    wrongLogins(1);
    EXPECT_EQ(userPin()["state"].toString(), "locked");
    EXPECT_TRUE(userPin()["locked"].toBool());
    EXPECT_EQ(check({"CHECKPIN"}).status, 7);
}

TEST_F(CliCheckTest, ACheckWithPinsLogsInToEachKeyAndReportsARefusedOne) {
    world.createKey("CHECKPN1");
    world.createKey("CHECKPN2");
    put("CHECKPN1", issued("Valid year", {-kDay, 365 * kDay}, &authority));
    const CliRun run = check({"CHECKPN1", "CHECKPN2", "--pin-stdin", "--json"}, kUserPin + "99999999\n");
    EXPECT_EQ(run.status, 4) << "a refused PIN and nothing worse";
    EXPECT_NE(run.err.find("CHECKPN2"), std::string::npos) << run.err;
    const QJsonArray keys = run.json().array();
    ASSERT_EQ(keys.size(), 2);
    EXPECT_EQ(keys[0].toObject()["certificates"].toArray().size(), 1);
    EXPECT_EQ(keys[1].toObject()["userPin"].toObject()["retriesLeft"].toInt(),
              keys[0].toObject()["userPin"].toObject()["retriesLeft"].toInt() - 1);
    // The PIN file must hold a PIN for every key checked.
    EXPECT_NE(check({"CHECKPN1", "CHECKPN2", "--pin-stdin"}, kUserPin).status, 0);
}

TEST_F(CliCheckTest, ImportRefusesACertificateOutsideItsValidityUnlessAllowed) {
    world.createKey("CHECKIMP");
    const Credential expired = issued("Old", {-400 * kDay, -2 * kDay}, &authority);
    const auto p12 = world.root() / "old.p12";
    ASSERT_TRUE(quillard::demo::writePkcs12File(p12, expired, "pass", false));
    const CliRun refused =
        world.cli({"import", "CHECKIMP", p12.string(), "--pin-stdin"}, kUserPin + "pass\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("has expired"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--allow-expired"), std::string::npos);
    EXPECT_NE(refused.err.find(" UTC to "), std::string::npos) << "the message gives both dates";
    EXPECT_TRUE(
        check({"CHECKIMP", "--json"}).json().array()[0].toObject()["certificates"].toArray().isEmpty());

    const Credential future = issued("Future", {5 * kDay, 50 * kDay}, &authority);
    ASSERT_TRUE(quillard::demo::writeCertificateFile(world.root() / "future.cer", future, false));
    const CliRun notYet =
        world.cli({"import", "CHECKIMP", (world.root() / "future.cer").string(), "--pin-stdin"}, kUserPin);
    EXPECT_EQ(notYet.status, 1);
    EXPECT_NE(notYet.err.find("not valid yet"), std::string::npos) << notYet.err;

    EXPECT_EQ(
        world.cli({"import", "CHECKIMP", p12.string(), "--allow-expired", "--pin-stdin"}, kUserPin + "pass\n")
            .status,
        0);
    EXPECT_EQ(check({"CHECKIMP"}).status, 7);
}

TEST_F(CliCheckTest, ASoftHsmTokenIsCheckedLikeAVirtualKey) {
    if (softhsm::modulePath().empty())
        GTEST_SKIP() << "SoftHSM2 is not installed";
    ASSERT_TRUE(softhsm::initToken("Check token"));
    const auto p12 = world.root() / "token.p12";
    ASSERT_TRUE(quillard::demo::writePkcs12File(p12, issued("On token", {-kDay, 3 * kDay + 3600}, &authority),
                                                "pass", false));
    ASSERT_TRUE(softhsm::fillToken("Check token", "Mail", 1, p12.string(), "pass"));
    const CliRun run = check({"--json"});
    EXPECT_EQ(run.status, 6) << run.err;
    QJsonObject token;
    for (const QJsonValue& key : run.json().array())
        if (key.toObject()["module"].toString() == "softhsm2")
            token = key.toObject();
    ASSERT_FALSE(token.isEmpty()) << run.out;
    EXPECT_EQ(token["label"].toString(), "Check token");
    EXPECT_EQ(token["userPin"].toObject()["state"].toString(), "unknown");
    EXPECT_TRUE(token["userPin"].toObject()["retriesLeft"].isNull());
    const QJsonObject certificate = certificateNamed(token, "On token");
    EXPECT_EQ(certificate["container"].toString(), "Mail");
    EXPECT_EQ(certificate["state"].toString(), "expiring");
    EXPECT_EQ(certificate["chain"].toString(), "trusted");
}

} // namespace
