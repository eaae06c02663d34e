// Input files written carelessly or with intent: settings values that do not fit their field, malformed
// labels files, labels that would steer the terminal, and a provisioning run stopped half-way.
#include "cli_world.h"
#include "tools/demo_credentials.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

class CliHostileInputTest : public ::testing::Test {
protected:
    QJsonObject keyInfo(const std::string& serial) {
        const CliRun run = world.cli({"info", serial, "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.json().object();
    }

    // A settings file with `lines` first: the first of two equal keys counts.
    std::filesystem::path settingsWith(const std::string& name, const std::string& lines) {
        return world.file(
            name, "[InitData]\n" + lines +
                      "LabelName=Formatted\nmanufacture=Norvale\nIssuer=IT\ndefault_sopin=24681357\n");
    }

    CliWorld world;
};

TEST_F(CliHostileInputTest, SettingsThatDoNotFitTheirFieldAreRefusedByName) {
    world.createBlankKey("HOSTILE1");
    const struct {
        std::string lines;
        std::string field;
    } cases[] = {
        {"default_upin=12345678\nuPinRetryTimes=257\n", "uPinRetryTimes"},
        {"default_upin=12345678\nsoPinRetryTimes=266\n", "soPinRetryTimes"},
        {"default_upin=12345678\nmaxUPINLen=264\n", "maxUPINLen"},
        {"default_upin=12345678\nminSOPINLen=-4\n", "minSOPINLen"},
        {"default_upin=1234\0 5678\n"s, "default_upin"},
        {"default_upin=12345678\nLabelName=Ali\0ce\n"s, "LabelName"},
    };
    for (const auto& refused : cases) {
        const auto file = settingsWith("refused.ini", refused.lines);
        const CliRun run = world.cli({"format", "HOSTILE1", "--settings", file.string()});
        EXPECT_EQ(run.status, 2) << refused.field << ": " << run.out;
        EXPECT_NE(run.err.find(refused.field), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("succeeded"), std::string::npos) << run.out;
        EXPECT_FALSE(keyInfo("HOSTILE1")["initialised"].toBool()) << refused.field;
    }
    // The largest values a byte holds pass this check and meet the key's own limits next.
    const auto largest = settingsWith("largest.ini", "default_upin=12345678\nuPinRetryTimes=255\n");
    const CliRun run = world.cli({"format", "HOSTILE1", "--settings", largest.string()});
    EXPECT_EQ(run.err.find("uPinRetryTimes"), std::string::npos) << run.err;
    EXPECT_NE(run.status, 0);
}

TEST_F(CliHostileInputTest, APinWithAZeroByteIsRefusedNotCut) {
    world.createKey("ZEROPIN1");
    // Cut at its zero byte this would be the key's right PIN.
    const CliRun run = world.cli({"certs", "ZEROPIN1", "--pin-stdin"}, "12345678\0 and more\n"s);
    EXPECT_EQ(run.status, 2) << run.out;
    EXPECT_NE(run.err.find("zero byte"), std::string::npos) << run.err;
    EXPECT_EQ(keyInfo("ZEROPIN1")["userPin"].toObject()["retriesLeft"].toInt(),
              keyInfo("ZEROPIN1")["userPin"].toObject()["maxRetries"].toInt());
}

TEST_F(CliHostileInputTest, MalformedLabelsFilesAreRefusedWithTheirLine) {
    world.createBlankKey("CSV1");
    const auto settings = settingsWith("provision.ini", "default_upin=12345678\n");
    const struct {
        std::string content;
        std::string message;
    } cases[] = {
        {"serial,label,pin\nCSV1,\"Doe, Jane,55554444\n", "line 2"},
        {"CSV1,Jane\nCSV2,\"unclosed\n", "line 2"},
        {"CSV1,Bad \xff\xfe label\n", "line 1"},
    };
    for (const auto& refused : cases) {
        const auto labels = world.file("labels.csv", refused.content);
        const CliRun run = world.cli(
            {"provision", "--settings", settings.string(), "--all-blank", "--labels", labels.string()});
        EXPECT_EQ(run.status, 2) << refused.content;
        EXPECT_NE(run.err.find(refused.message), std::string::npos) << run.err;
        EXPECT_FALSE(keyInfo("CSV1")["initialised"].toBool());
    }
}

TEST_F(CliHostileInputTest, LabelsReachTheTerminalEscaped) {
    world.createKey("ESCAPE01");
    const std::string label = "red\x1b[31m\afake\nrow";
    ASSERT_EQ(world.cli({"set-label", "ESCAPE01", label}).status, 0);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"list"}, std::vector<std::string>{"info", "ESCAPE01"}}) {
        const CliRun run = world.cli(command);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find('\a'), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("red\\x1B[31m\\x07fake\\x0Arow"), std::string::npos) << run.out;
    }
    // JSON keeps the label as it is, escaped by JSON's own rules.
    EXPECT_EQ(keyInfo("ESCAPE01")["label"].toString().toStdString(), label);
}

TEST_F(CliHostileInputTest, AProvisioningStoppedBeforeItsImportIsFinishedByTheNextRun) {
    world.createBlankKey("RESUME01");
    world.createKey("OTHER001", {"--label", "Someone's key"});
    const auto settings = settingsWith("provision.ini", "default_upin=12345678\n");
    std::filesystem::create_directories(world.root() / "p12");
    for (const std::string serial : {"RESUME01", "OTHER001"})
        ASSERT_TRUE(quillard::demo::writePkcs12File(
            world.root() / "p12" / (serial + ".p12"),
            quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "User " + serial),
            "transport", false));
    // The earlier run formatted the key and was stopped before the import.
    ASSERT_EQ(world.cli({"format", "RESUME01", "--settings", settings.string()}).status, 0);

    const CliRun run = world.cli({"provision", "--settings", settings.string(), "--all-blank", "--pkcs12",
                                  (world.root() / "p12").string(), "--json", "--pin-stdin"},
                                 "transport\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const QJsonArray results = run.json().array();
    ASSERT_EQ(results.size(), 1) << run.out;
    const QJsonObject result = results[0].toObject();
    EXPECT_EQ(result["serial"].toString(), "RESUME01");
    EXPECT_TRUE(result["resumed"].toBool());
    EXPECT_FALSE(result["formatted"].toBool());
    EXPECT_TRUE(result["imported"].toBool());
    const CliRun certs = world.cli({"certs", "RESUME01", "--json", "--pin-stdin"}, "12345678\n");
    EXPECT_EQ(certs.json().array().size(), 1) << certs.out;

    // Finished now, so a third run has nothing to do.
    const CliRun again = world.cli({"provision", "--settings", settings.string(), "--all-blank", "--pkcs12",
                                    (world.root() / "p12").string(), "--json", "--pin-stdin"},
                                   "transport\n");
    EXPECT_EQ(again.json().array().size(), 0) << again.out;
}

} // namespace
