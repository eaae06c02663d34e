// Batch provisioning: five blank virtual keys, one too small for its certificate.
#include "cli_world.h"
#include "tools/demo_credentials.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kSerials = {"PROV0001", "PROV0002", "PROV0003", "PROV0004", "PROV0005"};
// The key whose memory holds no RSA pair with its certificate.
const std::string kSmallKey = "PROV0003";

class CliProvisionTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& serial : kSerials)
            world.createBlankKey(serial, serial == kSmallKey ? std::vector<std::string>{"--memory", "1K"}
                                                             : std::vector<std::string>{});
        // An initialised key that --all-blank leaves alone.
        world.createKey("KEEPME01", {"--label", "Kept"});
        settings =
            world.file("provision.ini", "[InitData]\nLabelName=Staff key\nmanufacture=Norvale\nIssuer=IT\n"
                                        "default_sopin=87654321\ndefault_upin=12345678\n");
        labels = world.file("labels.csv", "serial,label,user PIN\nPROV0001,Alice,11111111\n"
                                          "PROV0002,\"Bob, Jr.\",\nPROV0003,Carol,33333333\n");
        std::filesystem::create_directories(world.root() / "p12");
        for (const std::string& serial : kSerials) {
            const auto credential =
                quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "User " + serial);
            ASSERT_TRUE(quillard::demo::writePkcs12File(world.root() / "p12" / (serial + ".p12"), credential,
                                                        "transport", false));
        }
    }

    QJsonObject keyInfo(const std::string& serial) {
        return world.cli({"info", serial, "--json"}).json().object();
    }

    CliWorld world;
    std::filesystem::path settings;
    std::filesystem::path labels;
};

TEST_F(CliProvisionTest, OneKeyOutOfMemoryDoesNotStopTheOthers) {
    const CliRun run =
        world.cli({"provision", "--settings", settings.string(), "--all-blank", "--labels", labels.string(),
                   "--pkcs12", (world.root() / "p12").string(), "--json", "--pin-stdin"},
                  "transport\n");
    EXPECT_EQ(run.status, 1) << run.err;
    const QJsonArray results = run.json().array();
    ASSERT_EQ(results.size(), 5) << run.out << run.err;
    for (const QJsonValue& value : results) {
        const QJsonObject result = value.toObject();
        const std::string serial = result["serial"].toString().toStdString();
        EXPECT_TRUE(result["formatted"].toBool()) << serial;
        if (serial == kSmallKey) {
            EXPECT_FALSE(result["ok"].toBool());
            EXPECT_FALSE(result["imported"].toBool());
            EXPECT_NE(result["error"].toString().indexOf("0x0A000030"), -1)
                << result["error"].toString().toStdString();
        } else {
            EXPECT_TRUE(result["ok"].toBool()) << serial << result["error"].toString().toStdString();
            EXPECT_TRUE(result["imported"].toBool()) << serial;
            EXPECT_TRUE(result["container"].toString().startsWith('{')) << serial;
        }
    }
    EXPECT_EQ(keyInfo("PROV0001")["label"].toString(), "Alice");
    EXPECT_EQ(keyInfo("PROV0002")["label"].toString(), "Bob, Jr.");
    EXPECT_EQ(keyInfo("PROV0004")["label"].toString(), "Staff key");
    EXPECT_EQ(keyInfo("KEEPME01")["label"].toString(), "Kept");

    // Each key has its own certificate, behind the CSV's user PIN or the settings' one.
    const CliRun alice = world.cli({"certs", "PROV0001", "--json", "--pin-stdin"}, "11111111\n");
    ASSERT_EQ(alice.status, 0) << alice.err;
    EXPECT_TRUE(alice.json()
                    .array()[0]
                    .toObject()["certificates"]
                    .toArray()[0]
                    .toObject()["subject"]
                    .toString()
                    .startsWith("CN = User PROV0001,"));
    EXPECT_EQ(world.cli({"certs", "PROV0002", "--pin-stdin"}, "12345678\n").status, 0);
    // The failed import left nothing behind on the small key.
    const CliRun small = world.cli({"certs", kSmallKey, "--json", "--pin-stdin"}, "33333333\n");
    ASSERT_EQ(small.status, 0) << small.err;
    EXPECT_TRUE(small.json().array().isEmpty());
}

TEST_F(CliProvisionTest, NamedKeysPrintOneLineEach) {
    const CliRun run = world.cli(
        {"provision", "--settings", settings.string(), "PROV0004", "KEEPME01", "--pin-stdin"}, "87654321\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("PROV0004  provisioned"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("KEEPME01  provisioned"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 of 2 keys provisioned"), std::string::npos) << run.out;
    EXPECT_EQ(keyInfo("KEEPME01")["label"].toString(), "Staff key");

    EXPECT_EQ(world.cli({"provision", "--settings", settings.string()}).status, 2);
    EXPECT_EQ(world.cli({"provision", "--settings", settings.string(), "--all-blank", "PROV0001"}).status, 2);
    const auto openLabels = world.file("open.csv", "PROV0001,Alice,11111111\n", 0644);
    EXPECT_EQ(
        world.cli({"provision", "--settings", settings.string(), "PROV0001", "--labels", openLabels.string()})
            .status,
        5);
}

} // namespace
