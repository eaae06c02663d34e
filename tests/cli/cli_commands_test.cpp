// Every command of pellorzu-cli, run as a user runs it on virtual keys.
#include "cli_world.h"
#include "tools/demo_credentials.h"

#include <QJsonArray>
#include <QJsonObject>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

const std::string kUserPin = "12345678\n";

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliCommandsTest : public ::testing::Test {
protected:
    // The key's containers as `certs --json` reports them.
    QJsonArray containers(const std::string& serial, const std::string& pin = kUserPin) {
        const CliRun run = world.cli({"certs", serial, "--json", "--pin-stdin"}, pin);
        EXPECT_EQ(run.status, 0) << run.err;
        return run.json().array();
    }
    QJsonObject keyInfo(const std::string& serial) {
        const CliRun run = world.cli({"info", serial, "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.json().object();
    }
    std::filesystem::path pkcs12File(const std::string& name, const quillard::Credential& credential,
                                     const std::string& password) {
        const std::filesystem::path path = world.root() / name;
        EXPECT_TRUE(quillard::demo::writePkcs12File(path, credential, password, false));
        return path;
    }

    CliWorld world;
};

TEST_F(CliCommandsTest, ListAndInfoNameKeysBySerialAndModule) {
    world.createKey("CLIKEY01", {"--label", "First"});
    world.createBlankKey("CLIKEY02");
    const CliRun list = world.cli({"list", "--json"});
    ASSERT_EQ(list.status, 0) << list.err;
    const QJsonArray keys = list.json().array();
    ASSERT_EQ(keys.size(), 2);
    const QJsonObject first = keys[0].toObject();
    EXPECT_EQ(first["serial"].toString(), "CLIKEY01");
    EXPECT_EQ(first["module"].toString(), "virtual");
    EXPECT_EQ(first["label"].toString(), "First");
    EXPECT_TRUE(first["initialised"].toBool());
    EXPECT_EQ(first["userPin"].toObject()["retriesLeft"].toInt(), 10);
    EXPECT_EQ(first["totalMemory"].toInt(), 65536);
    EXPECT_EQ(first["freeMemory"].toInt(), 65536);
    EXPECT_FALSE(keys[1].toObject()["initialised"].toBool());

    const CliRun text = world.cli({"list"});
    EXPECT_NE(text.out.find("CLIKEY02"), std::string::npos) << text.out;

    EXPECT_EQ(keyInfo("CLIKEY01")["minPinLength"].toInt(), 4);
    EXPECT_EQ(world.cli({"info", "virtual:CLIKEY01", "--json"}).json().object()["serial"].toString(),
              "CLIKEY01");
    EXPECT_EQ(world.cli({"info", "CLIKEY01", "--module", "VIRTUAL"}).status, 0);
    // Wrong module, unknown serial: no key answers.
    EXPECT_EQ(world.cli({"info", "pkcs11:CLIKEY01"}).status, 3);
    const CliRun missing = world.cli({"info", "NOSUCHKEY"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("NOSUCHKEY"), std::string::npos);
}

TEST_F(CliCommandsTest, MessagesFollowTheEnvironmentsLanguage) {
    world.createKey("CLIKEY01");
    const CliRun chinese = world.cli({"info", "NOSUCHKEY"}, {}, {{"LANG", "zh_CN.UTF-8"}});
    EXPECT_NE(chinese.err.find("没有与"), std::string::npos) << chinese.err;
    // A window text in the environment's language: the lock message of the string table.
    EXPECT_NE(world.cli({"list"}, {}, {{"LC_MESSAGES", "zh_CN.UTF-8"}}).out.find("序列号"),
              std::string::npos);
    EXPECT_NE(
        world.cli({"list"}, {}, {{"LANG", "zh_CN.UTF-8"}, {"LC_ALL", "en_US.UTF-8"}}).out.find("SERIAL"),
        std::string::npos);
    const CliRun wrong =
        world.cli({"certs", "CLIKEY01", "--pin-stdin"}, "00000000\n", {{"LANG", "zh_CN.UTF-8"}});
    EXPECT_EQ(wrong.status, 4);
    EXPECT_NE(wrong.err.find("口令不正确"), std::string::npos) << wrong.err;
    EXPECT_NE(world.cli({"--help"}, {}, {{"LANG", "zh_CN.UTF-8"}}).out.find("修改用户PIN码"),
              std::string::npos);
}

TEST_F(CliCommandsTest, SecretsNeverComeFromFilesOthersMayRead) {
    world.createKey("CLIKEY01");
    const auto open = world.file("open-pin", kUserPin, 0644);
    const CliRun refused = world.cli({"certs", "CLIKEY01", "--pin-file", open.string()});
    EXPECT_EQ(refused.status, 5);
    EXPECT_NE(refused.err.find("chmod 600"), std::string::npos) << refused.err;
    const auto closed = world.file("closed-pin", kUserPin, 0600);
    EXPECT_EQ(world.cli({"certs", "CLIKEY01", "--pin-file", closed.string()}).status, 0);

    const auto openSettings = world.file("open.ini", "[InitData]\nLabelName=X\nmanufacture=M\n", 0640);
    EXPECT_EQ(world.cli({"format", "CLIKEY01", "--settings", openSettings.string()}).status, 5);
    // No terminal to ask on and no other source: a usage failure, nothing tried on the key.
    const CliRun noSource = world.cli({"certs", "CLIKEY01"});
    EXPECT_EQ(noSource.status, 2);
    EXPECT_EQ(keyInfo("CLIKEY01")["userPin"].toObject()["retriesLeft"].toInt(), 10);
    // PINs are no arguments.
    EXPECT_EQ(world.cli({"certs", "CLIKEY01", "--pin", "12345678"}).status, 2);
}

TEST_F(CliCommandsTest, CertificatesGoInComeOutAndGo) {
    world.createKey("CLIKEY01");
    const quillard::Credential rsa =
        quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Alice");
    const auto p12 = pkcs12File("alice.p12", rsa, "secret");
    const CliRun imported = world.cli(
        {"import", "CLIKEY01", p12.string(), "--container", "Mail", "--pin-stdin"}, kUserPin + "secret\n");
    ASSERT_EQ(imported.status, 0) << imported.err;

    const quillard::Credential ec =
        quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Bob");
    ASSERT_TRUE(quillard::demo::writeCertificateFile(world.root() / "bob.cer", ec, true));
    ASSERT_EQ(world
                  .cli({"import", "CLIKEY01", (world.root() / "bob.cer").string(), "--container", "Mail",
                        "--signature", "--pin-stdin"},
                       kUserPin)
                  .status,
              0);
    // The exchange pair of Mail is taken: refused, and the key keeps what it had.
    const CliRun taken = world.cli({"import", "CLIKEY01", p12.string(), "--container", "Mail", "--pin-stdin"},
                                   kUserPin + "secret\n");
    EXPECT_EQ(taken.status, 1);
    const CliRun badPassword =
        world.cli({"import", "CLIKEY01", p12.string(), "--new", "--pin-stdin"}, kUserPin + "wrong\n");
    EXPECT_EQ(badPassword.status, 1);

    QJsonArray list = containers("CLIKEY01");
    ASSERT_EQ(list.size(), 1);
    const QJsonObject mail = list[0].toObject();
    EXPECT_EQ(mail["name"].toString(), "Mail");
    const QJsonArray certificates = mail["certificates"].toArray();
    ASSERT_EQ(certificates.size(), 2);
    const QJsonObject exchange = certificates[0].toObject();
    EXPECT_EQ(exchange["spec"].toString(), "exchange");
    EXPECT_TRUE(exchange["subject"].toString().startsWith("CN = Alice,"));
    EXPECT_EQ(exchange["keyAlgorithm"].toString(), "RSA");
    EXPECT_TRUE(exchange["privateKey"].toObject()["present"].toBool());
    EXPECT_EQ(exchange["sha256"].toString().size(), 95);
    const QJsonObject signature = certificates[1].toObject();
    EXPECT_TRUE(signature["subject"].toString().startsWith("CN = Bob,"));
    EXPECT_EQ(signature["publicKey"].toObject()["type"].toString(), "EC");
    EXPECT_FALSE(signature["privateKey"].toObject()["present"].toBool());

    const auto der = world.root() / "out.cer";
    ASSERT_EQ(
        world.cli({"export", "CLIKEY01", "Mail", "exchange", der.string(), "--pin-stdin"}, kUserPin).status,
        0);
    EXPECT_EQ(fileBytes(der), std::string(rsa.certificateDer.begin(), rsa.certificateDer.end()));
    EXPECT_EQ(std::filesystem::status(der).permissions() & std::filesystem::perms::group_read,
              std::filesystem::perms::none);
    const auto pem = world.root() / "out.pem";
    ASSERT_EQ(
        world.cli({"export", "CLIKEY01", "Mail", "2", pem.string(), "--pem", "--pin-stdin"}, kUserPin).status,
        0);
    EXPECT_EQ(fileBytes(pem).rfind("-----BEGIN CERTIFICATE-----", 0), 0u);
    EXPECT_EQ(world.cli({"export", "CLIKEY01", "Mail", "both", pem.string(), "--pin-stdin"}, kUserPin).status,
              2);

    EXPECT_EQ(world.cli({"register", "CLIKEY01", "--pin-stdin"}, kUserPin).status, 0);
    EXPECT_TRUE(std::filesystem::exists(world.root() / "data" / "Norvale" / "PellorZu" / "certstore.db"));
    EXPECT_EQ(world.cli({"unregister"}).status, 0);

    ASSERT_EQ(world.cli({"delete-cert", "CLIKEY01", "Mail", "signature", "--pin-stdin"}, kUserPin).status, 0);
    EXPECT_EQ(containers("CLIKEY01")[0].toObject()["certificates"].toArray().size(), 1);
    ASSERT_EQ(world.cli({"delete-container", "CLIKEY01", "Mail", "--pin-stdin"}, kUserPin).status, 0);
    EXPECT_TRUE(containers("CLIKEY01").isEmpty());
    EXPECT_EQ(world.cli({"delete-container", "CLIKEY01", "Mail", "--pin-stdin"}, kUserPin).status, 1);
}

TEST_F(CliCommandsTest, PinsChangeLockAndUnlock) {
    world.createKey("CLIKEY01", {"--user-retries", "3"});
    const CliRun wrongOld = world.cli({"change-pin", "CLIKEY01", "--pin-stdin"}, "99999999\n11112222\n");
    EXPECT_EQ(wrongOld.status, 4);
    EXPECT_NE(wrongOld.err.find("2"), std::string::npos) << wrongOld.err;
    EXPECT_EQ(world.cli({"change-pin", "CLIKEY01", "--pin-stdin"}, kUserPin + "12\n").status, 4);
    ASSERT_EQ(world.cli({"change-pin", "CLIKEY01", "--pin-stdin"}, kUserPin + "11112222\n").status, 0);
    EXPECT_EQ(world.cli({"certs", "CLIKEY01", "--pin-stdin"}, "11112222\n").status, 0);

    // Two more wrong tries lock the user PIN.
    world.cli({"certs", "CLIKEY01", "--pin-stdin"}, "00000000\n");
    world.cli({"certs", "CLIKEY01", "--pin-stdin"}, "00000000\n");
    world.cli({"certs", "CLIKEY01", "--pin-stdin"}, "00000000\n");
    EXPECT_TRUE(keyInfo("CLIKEY01")["userPin"].toObject()["locked"].toBool());
    EXPECT_EQ(world.cli({"certs", "CLIKEY01", "--pin-stdin"}, "11112222\n").status, 4);
    EXPECT_EQ(world.cli({"set-label", "CLIKEY01", "Locked out"}).status, 4);

    // A wrong SO PIN spends one SO try and unlocks nothing.
    EXPECT_EQ(world.cli({"unlock", "CLIKEY01", "--pin-stdin"}, "00000000\n55556666\n").status, 4);
    EXPECT_EQ(keyInfo("CLIKEY01")["soPin"].toObject()["retriesLeft"].toInt(), 9);
    ASSERT_EQ(world.cli({"unlock", "CLIKEY01", "--pin-stdin"}, "87654321\n55556666\n").status, 0);
    EXPECT_EQ(world.cli({"certs", "CLIKEY01", "--pin-stdin"}, "55556666\n").status, 0);

    EXPECT_EQ(world.cli({"change-so-pin", "CLIKEY01", "--pin-stdin"}, "00000000\n13572468\n").status, 4);
    ASSERT_EQ(world.cli({"change-so-pin", "CLIKEY01", "--pin-stdin"}, "87654321\n13572468\n").status, 0);
    EXPECT_EQ(world.cli({"unlock", "CLIKEY01", "--pin-stdin"}, "13572468\n12345678\n").status, 0);
    EXPECT_EQ(world.cli({"certs", "CLIKEY01", "--pin-stdin"}, kUserPin).status, 0);
}

TEST_F(CliCommandsTest, LabelsAndFormatsFollowTheWindowsRules) {
    world.createKey("CLIKEY01");
    ASSERT_EQ(world.cli({"set-label", "CLIKEY01", "  Büro 钥匙 \t"}).status, 0);
    EXPECT_EQ(keyInfo("CLIKEY01")["label"].toString(), QStringLiteral("Büro 钥匙"));
    EXPECT_EQ(world.cli({"set-label", "CLIKEY01", std::string(32, 'x')}).status, 2);
    EXPECT_EQ(keyInfo("CLIKEY01")["label"].toString(), QStringLiteral("Büro 钥匙"));

    const auto settings =
        world.file("format.ini", "[InitData]\nLabelName=Formatted\nmanufacture=Norvale\nIssuer=IT\n"
                                 "default_sopin=24681357\ndefault_upin=97531864\nuPinRetryTimes=5\n"
                                 "soPinRetryTimes=7\nminUPINLen=6\nmaxUPINLen=12\n");
    // The current SO PIN proves the right to wipe an initialised key; a wrong one changes nothing.
    EXPECT_EQ(world.cli({"format", "CLIKEY01", "--settings", settings.string(), "--pin-stdin"}, "00000000\n")
                  .status,
              4);
    EXPECT_EQ(keyInfo("CLIKEY01")["label"].toString(), QStringLiteral("Büro 钥匙"));
    ASSERT_EQ(world.cli({"format", "CLIKEY01", "--settings", settings.string(), "--pin-stdin"}, "87654321\n")
                  .status,
              0);
    const QJsonObject info = keyInfo("CLIKEY01");
    EXPECT_EQ(info["label"].toString(), "Formatted");
    EXPECT_EQ(info["minPinLength"].toInt(), 6);
    EXPECT_EQ(info["userPin"].toObject()["maxRetries"].toInt(), 5);
    EXPECT_EQ(world.cli({"certs", "CLIKEY01", "--pin-stdin"}, "97531864\n").status, 0);

    const auto shortPin = world.file("short.ini", "[InitData]\nLabelName=X\nmanufacture=M\ndefault_sopin=1\n"
                                                  "default_upin=12345678\n");
    EXPECT_EQ(world.cli({"format", "CLIKEY01", "--settings", shortPin.string(), "--pin-stdin"}, "24681357\n")
                  .status,
              2);
}

TEST_F(CliCommandsTest, IsoImagesLandOnTheDiskArea) {
    world.createKey("CLIKEY01");
    std::string image(150000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7 + 3);
    const auto iso = world.file("image.iso", image);
    const CliRun written = world.cli({"write-iso", "CLIKEY01", iso.string(), "--pin-stdin"}, kUserPin);
    ASSERT_EQ(written.status, 0) << written.err;
    // Not a terminal: no progress bar in the error output.
    EXPECT_EQ(written.err.find('\r'), std::string::npos);
    const std::string disk = fileBytes(world.keysFolder() / "CLIKEY01.img");
    ASSERT_GE(disk.size(), image.size() + 2048);
    EXPECT_EQ(disk.substr(0, image.size()), image);
    // The last sector is filled with zeros past the end of the file.
    EXPECT_EQ(disk.substr(image.size(), 151552 - image.size()), std::string(151552 - image.size(), '\0'));
    EXPECT_EQ(
        world.cli({"write-iso", "CLIKEY01", (world.root() / "none.iso").string(), "--pin-stdin"}, kUserPin)
            .status,
        5);
}

TEST_F(CliCommandsTest, HelpExplainsEveryCommand) {
    const CliRun overview = world.cli({"--help"});
    EXPECT_EQ(overview.status, 0);
    const std::vector<std::string> commands = {
        "list",      "info",       "certs",      "export",    "import", "delete-cert",   "delete-container",
        "register",  "unregister", "change-pin", "set-label", "format", "change-so-pin", "unlock",
        "write-iso", "provision"};
    for (const std::string& command : commands) {
        EXPECT_NE(overview.out.find("  " + command + " "), std::string::npos) << command;
        const CliRun help = world.cli({"help", command});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("usage: pellorzu-cli " + command, 0), 0u) << help.out;
        EXPECT_EQ(world.cli({command, "--help"}).out, help.out);
    }
    EXPECT_NE(overview.out.find("Exit codes"), std::string::npos);
    // Each command's help in Chinese, with the same synopsis.
    for (const std::string& command : commands) {
        const CliRun help = world.cli({"help", command}, {}, {{"LANG", "zh_CN.UTF-8"}});
        EXPECT_EQ(help.out.rfind("usage: pellorzu-cli " + command, 0), 0u) << help.out;
        EXPECT_NE(help.out, world.cli({"help", command}).out) << command;
    }
    EXPECT_EQ(world.cli({"frobnicate"}).status, 2);
    EXPECT_EQ(world.cli({}).status, 2);
}

} // namespace
