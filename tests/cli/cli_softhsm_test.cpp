// pellorzu-cli on a SoftHSM2 token, found through p11-kit in the test world's own token folder.
#include "cli_world.h"
#include "tests/common/softhsm_token.h"
#include "tools/demo_credentials.h"

#include <QJsonArray>
#include <QJsonObject>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

const std::string kUserPin = std::string(softhsm::kUserPin) + "\n";

class CliSoftHsmTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (softhsm::modulePath().empty())
            GTEST_SKIP() << "SoftHSM2 is not installed";
        ASSERT_TRUE(softhsm::initToken("CLI token"));
        world.createKey("CLIKEY01");
        const QJsonArray keys = world.cli({"list", "--json"}).json().array();
        for (const QJsonValue& key : keys)
            if (key.toObject()["module"].toString() != "virtual") {
                serial = key.toObject()["serial"].toString().toStdString();
                module = key.toObject()["module"].toString().toStdString();
            }
        ASSERT_FALSE(serial.empty()) << "the SoftHSM2 token is not listed";
        name = module + ":" + serial;
    }

    CliWorld world;
    std::string serial, module, name;
};

TEST_F(CliSoftHsmTest, ListShowsTheTokenWithItsModule) {
    EXPECT_EQ(module, "softhsm2");
    const QJsonObject info = world.cli({"info", name, "--json"}).json().object();
    EXPECT_EQ(info["label"].toString(), "CLI token");
    EXPECT_TRUE(info["initialised"].toBool());
    // SoftHSM2 tells no retry counts and no memory figures.
    EXPECT_TRUE(info["userPin"].toObject()["retriesLeft"].isNull());
    EXPECT_TRUE(info["freeMemory"].isNull());
    EXPECT_EQ(world.cli({"info", serial, "--module", "softhsm2"}).status, 0);
    EXPECT_EQ(world.cli({"info", "virtual:" + serial}).status, 3);
    EXPECT_NE(world.cli({"list"}).out.find("softhsm2"), std::string::npos);
}

TEST_F(CliSoftHsmTest, CertificatesAndPinsWorkAsOnVirtualKeys) {
    const auto credential =
        quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Token user");
    const auto p12 = world.root() / "user.p12";
    ASSERT_TRUE(quillard::demo::writePkcs12File(p12, credential, "secret", false));
    const CliRun imported = world.cli({"import", name, p12.string(), "--container", "Mail", "--pin-stdin"},
                                      kUserPin + "secret\n");
    ASSERT_EQ(imported.status, 0) << imported.err;
    const CliRun certs = world.cli({"certs", name, "--json", "--pin-stdin"}, kUserPin);
    ASSERT_EQ(certs.status, 0) << certs.err;
    const QJsonObject mail = certs.json().array()[0].toObject();
    EXPECT_EQ(mail["name"].toString(), "Mail");
    const QJsonObject certificate = mail["certificates"].toArray()[0].toObject();
    EXPECT_TRUE(certificate["subject"].toString().startsWith("CN = Token user"));
    EXPECT_TRUE(certificate["privateKey"].toObject()["present"].toBool());

    const auto der = world.root() / "out.cer";
    ASSERT_EQ(world.cli({"export", name, "Mail", "exchange", der.string(), "--pin-stdin"}, kUserPin).status,
              0);
    std::ifstream in(der, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              std::string(credential.certificateDer.begin(), credential.certificateDer.end()));

    ASSERT_EQ(world.cli({"change-pin", name, "--pin-stdin"}, kUserPin + "11112222\n").status, 0);
    EXPECT_EQ(world.cli({"certs", name, "--pin-stdin"}, kUserPin).status, 4);
    ASSERT_EQ(
        world.cli({"unlock", name, "--pin-stdin"}, std::string(softhsm::kSoPin) + "\n" + kUserPin).status, 0);
    ASSERT_EQ(world.cli({"change-so-pin", name, "--pin-stdin"}, std::string(softhsm::kSoPin) + "\n13572468\n")
                  .status,
              0);
    ASSERT_EQ(world.cli({"delete-container", name, "Mail", "--pin-stdin"}, kUserPin).status, 0);
    EXPECT_TRUE(world.cli({"certs", name, "--json", "--pin-stdin"}, kUserPin).json().array().isEmpty());
    // What standard PKCS#11 cannot do is refused with a clear code, never faked.
    const CliRun label = world.cli({"set-label", name, "Other"});
    EXPECT_EQ(label.status, 1);
    const auto iso = world.file("small.iso", std::string(4096, 'x'));
    const CliRun written = world.cli({"write-iso", name, iso.string(), "--pin-stdin"}, kUserPin);
    EXPECT_EQ(written.status, 1);
    EXPECT_NE(written.err.find("0x00000054"), std::string::npos) << written.err;
}

TEST_F(CliSoftHsmTest, FormatNeedsTheCurrentSoPin) {
    const auto settings =
        world.file("token.ini", "[InitData]\nLabelName=Formatted token\nmanufacture=Norvale\n"
                                "default_sopin=87654321\ndefault_upin=24681357\n");
    EXPECT_EQ(
        world.cli({"format", name, "--settings", settings.string(), "--pin-stdin"}, "00000000\n").status, 4);
    const CliRun formatted = world.cli({"format", name, "--settings", settings.string(), "--pin-stdin"},
                                       std::string(softhsm::kSoPin) + "\n");
    ASSERT_EQ(formatted.status, 0) << formatted.err;
    // The token may get a new serial when it is initialised again; it is found by its label then.
    const QJsonArray keys = world.cli({"list", "--json"}).json().array();
    bool found = false;
    for (const QJsonValue& key : keys)
        found = found || key.toObject()["label"].toString() == "Formatted token";
    EXPECT_TRUE(found);
}

} // namespace
