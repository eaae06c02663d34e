// Enrolment from the command line, on a virtual key and on a SoftHSM2 token: keygen, request, install and
// ssh-key, checked with OpenSSL's, OpenSC's and OpenSSH's own tools through the PKCS#11 modules.
#include "cli_world.h"
#include "tests/common/softhsm_token.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <sstream>

namespace {

const std::string kPin = "12345678\n";

std::string firstTwoFields(const std::string& line) {
    std::istringstream in(line);
    std::string type, key;
    in >> type >> key;
    return type + " " + key;
}

class CliEnrolmentTest : public ::testing::Test {
protected:
    // Runs a shell command in the world's folder (which holds the folders data, config and home); its exit
    // status, with what it printed in `output`.
    int shell(const std::string& command, std::string* output = nullptr) {
        return softhsm::run("cd " + softhsm::quoted(world.root().string()) + " && " + command + " 2>&1",
                            output);
    }

    void makeTestCa() {
        ASSERT_EQ(shell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key "
                        "-out ca.pem -subj /CN=Test\\ CA -days 2"),
                  0);
    }

    // The CA's certificate for the PEM request `request`, as `out` (PEM).
    void issue(const std::string& request, const std::string& out) {
        std::string output;
        ASSERT_EQ(shell("openssl x509 -req -in " + request +
                            " -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 "
                            "-copy_extensions copy -out " +
                            out,
                        &output),
                  0)
            << output;
    }

    // The CKA_ID (hexadecimal) of the private key of (container, spec), from the URI certs --json gives.
    std::string privateKeyId(const std::string& key, const std::string& container, const std::string& spec) {
        const CliRun certs = world.cli({"certs", key, "--json", "--pin-stdin"}, kPin);
        for (const QJsonValue& entry : certs.json().array()) {
            if (entry["name"].toString().toStdString() != container)
                continue;
            for (const QJsonValue& certificate : entry["certificates"].toArray())
                if (certificate["spec"].toString().toStdString() == spec) {
                    const QString uri = certificate["privateKey"]["uri"].toString();
                    const QString id = uri.section(QStringLiteral(";id="), 1).section(QLatin1Char(';'), 0, 0);
                    return QByteArray::fromPercentEncoding(id.toLatin1()).toHex().toStdString();
                }
        }
        return {};
    }

    CliWorld world;
};

TEST_F(CliEnrolmentTest, AVirtualKeyMakesItsPairAndTheIssuedCertificateSignsThroughTheModule) {
    world.createKey("ENROLCLI");
    const CliRun made = world.cli({"keygen", "ENROLCLI", "--container", "Web", "--signature", "--algorithm",
                                   "ec-p256", "--json", "--pin-stdin"},
                                  kPin);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.json().object()["container"].toString(), "Web");
    EXPECT_EQ(made.json().object()["spec"].toString(), "signature");
    // Until its certificate comes, certs lists the pair with the URI its private key keeps afterwards.
    const CliRun pending = world.cli({"certs", "ENROLCLI", "--json", "--pin-stdin"}, kPin);
    ASSERT_EQ(pending.status, 0) << pending.err;
    const QJsonValue container = pending.json().array().first();
    const QJsonValue pair = container["keyPairsWithoutCertificate"].toArray().first();
    EXPECT_EQ(pair["spec"].toString(), "signature");
    EXPECT_EQ(pair["keyAlgorithm"].toString(), "EC");
    const QString pendingUri = pair["privateKeyUri"].toString();
    EXPECT_TRUE(pendingUri.startsWith("pkcs11:serial=ENROLCLI;id=")) << pendingUri.toStdString();

    const CliRun requested =
        world.cli({"request", "ENROLCLI", "--container", "Web", "--signature", "--subject",
                   "/CN=web.example.org/O=Example/C=DE", "--san", "DNS:web.example.org,IP:198.51.100.4",
                   "--template", "server", "--out", (world.root() / "web.csr").string(), "--pin-stdin"},
                  kPin);
    ASSERT_EQ(requested.status, 0) << requested.err;
    std::string text;
    ASSERT_EQ(shell("openssl req -in web.csr -verify -noout -text", &text), 0) << text;
    EXPECT_NE(text.find("TLS Web Server Authentication"), std::string::npos) << text;
    EXPECT_NE(text.find("IP Address:198.51.100.4"), std::string::npos) << text;

    makeTestCa();
    issue("web.csr", "web.pem");
    const CliRun installed = world.cli({"install", "ENROLCLI", (world.root() / "web.pem").string(), "--chain",
                                        (world.root() / "ca.pem").string(), "--json", "--pin-stdin"},
                                       kPin);
    ASSERT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(installed.json().object()["container"].toString(), "Web");
    EXPECT_EQ(installed.json().object()["spec"].toString(), "signature");

    // A signature made through the module over the virtual keys verifies with the installed certificate.
    const std::string id = privateKeyId("ENROLCLI", "Web", "signature");
    ASSERT_FALSE(id.empty());
    const QString idInPendingUri =
        pendingUri.section(QStringLiteral(";id="), 1).section(QLatin1Char(';'), 0, 0);
    EXPECT_EQ(QByteArray::fromPercentEncoding(idInPendingUri.toLatin1()).toHex().toStdString(), id);
    ASSERT_EQ(shell("printf 'signed data' > signed.txt && openssl x509 -in web.pem -pubkey -noout > web.pub"),
              0);
    std::string output;
    ASSERT_EQ(
        shell(std::string("pkcs11-tool --module ") + PELLORZU_MODULE_PATH +
                  " --login --pin 12345678 --sign --mechanism ECDSA-SHA256 --signature-format openssl --id " +
                  id + " --input-file signed.txt --output-file signed.sig",
              &output),
        0)
        << output;
    EXPECT_EQ(shell("openssl dgst -sha256 -verify web.pub -signature signed.sig signed.txt", &output), 0)
        << output;

    // ssh-keygen lists the same public key through the module.
    const CliRun ssh = world.cli({"ssh-key", "ENROLCLI", "--pin-stdin"}, kPin);
    ASSERT_EQ(ssh.status, 0) << ssh.err;
    EXPECT_NE(ssh.out.find("ecdsa-sha2-nistp256 "), std::string::npos) << ssh.out;
    EXPECT_NE(ssh.out.find(" ENROLCLI/Web"), std::string::npos) << ssh.out;
    ASSERT_EQ(shell(std::string("ssh-keygen -D ") + PELLORZU_MODULE_PATH, &output), 0) << output;
    EXPECT_NE(output.find(firstTwoFields(ssh.out)), std::string::npos) << output << "\n" << ssh.out;
}

TEST_F(CliEnrolmentTest, RefusalsSayWhyAndLeaveTheKeyAsItWas) {
    world.createKey("REFUSE01");
    ASSERT_EQ(world
                  .cli({"keygen", "REFUSE01", "--container", "Taken", "--exchange", "--algorithm", "rsa2048",
                        "--pin-stdin"},
                       kPin)
                  .status,
              0);
    const CliRun taken = world.cli(
        {"keygen", "REFUSE01", "--container", "Taken", "--exchange", "--algorithm", "ec-p384", "--pin-stdin"},
        kPin);
    EXPECT_EQ(taken.status, 1);
    EXPECT_NE(taken.err.find("holds a key pair or certificate already"), std::string::npos) << taken.err;
    EXPECT_EQ(
        world.cli({"keygen", "REFUSE01", "--container", "X", "--exchange", "--algorithm", "dsa1024"}).status,
        2);
    EXPECT_EQ(world.cli({"keygen", "REFUSE01", "--container", "X", "--algorithm", "rsa2048"}).status, 2)
        << "neither --exchange nor --signature";
    const CliRun badSubject =
        world.cli({"request", "REFUSE01", "--container", "Taken", "--exchange", "--subject", "CN=no slash",
                   "--out", (world.root() / "bad.csr").string(), "--pin-stdin"},
                  kPin);
    EXPECT_EQ(badSubject.status, 1);
    EXPECT_NE(badSubject.err.find("/CN=name"), std::string::npos) << badSubject.err;
    EXPECT_FALSE(std::filesystem::exists(world.root() / "bad.csr"));

    // The CA's own certificate belongs to no pair of the key.
    makeTestCa();
    const CliRun foreign =
        world.cli({"install", "REFUSE01", (world.root() / "ca.pem").string(), "--pin-stdin"}, kPin);
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.err.find("no key pair on the key matches"), std::string::npos) << foreign.err;
    // A certificate that does not verify against the chain given is refused before the key is touched.
    ASSERT_EQ(world
                  .cli({"request", "REFUSE01", "--container", "Taken", "--exchange", "--subject", "/CN=Taken",
                        "--out", (world.root() / "taken.csr").string(), "--pin-stdin"},
                       kPin)
                  .status,
              0);
    issue("taken.csr", "taken.pem");
    ASSERT_EQ(shell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout other.key "
                    "-out other.pem -subj /CN=Other -days 2"),
              0);
    const CliRun unchained = world.cli({"install", "REFUSE01", (world.root() / "taken.pem").string(),
                                        "--chain", (world.root() / "other.pem").string(), "--pin-stdin"},
                                       kPin);
    EXPECT_EQ(unchained.status, 1);
    EXPECT_NE(unchained.err.find("does not verify against the chain"), std::string::npos) << unchained.err;
    const CliRun certs = world.cli({"certs", "REFUSE01", "--json", "--pin-stdin"}, kPin);
    EXPECT_TRUE(certs.json().array()[0].toObject()["certificates"].toArray().isEmpty()) << certs.out;
}

TEST_F(CliEnrolmentTest, ASoftHsmTokenMakesAPairInTheSameRunAsItsSelfSignedCertificate) {
    if (softhsm::modulePath().empty())
        GTEST_SKIP() << "SoftHSM2 is not installed";
    ASSERT_TRUE(softhsm::initToken("Enrolment token"));
    const QJsonArray keys = world.cli({"list", "--json"}).json().array();
    ASSERT_FALSE(keys.isEmpty());
    const std::string token = "softhsm2:" + keys[0]["serial"].toString().toStdString();
    const CliRun self =
        world.cli({"request", token, "--container", "Self", "--exchange", "--keygen", "rsa2048", "--subject",
                   "/CN=Token user/O=Example", "--template", "email", "--self-signed", "--days", "10",
                   "--out", (world.root() / "self.pem").string(), "--pin-stdin"},
                  kPin);
    ASSERT_EQ(self.status, 0) << self.err;
    std::string output;
    EXPECT_EQ(shell("openssl verify -check_ss_sig -CAfile self.pem self.pem", &output), 0) << output;

    const CliRun installed =
        world.cli({"install", token, (world.root() / "self.pem").string(), "--pin-stdin"}, kPin);
    ASSERT_EQ(installed.status, 0) << installed.err;
    // The self-signed certificate's key identifier is the SHA-1 of its public key, the pair's CKA_ID.
    std::string id;
    ASSERT_EQ(
        shell("openssl x509 -in self.pem -noout -ext subjectKeyIdentifier | tail -1 | tr -d ' :\\n'", &id),
        0);
    ASSERT_EQ(id.size(), 40u) << id;
    ASSERT_EQ(
        shell("printf 'token data' > signed.txt && openssl x509 -in self.pem -pubkey -noout > self.pub"), 0);
    ASSERT_EQ(shell("pkcs11-tool --module " + softhsm::modulePath() +
                        " --token-label 'Enrolment token' --login "
                        "--pin 12345678 --sign --mechanism SHA256-RSA-PKCS --id " +
                        id + " --input-file signed.txt --output-file signed.sig",
                    &output),
              0)
        << output;
    EXPECT_EQ(shell("openssl dgst -sha256 -verify self.pub -signature signed.sig signed.txt", &output), 0)
        << output;

    const CliRun ssh =
        world.cli({"ssh-key", token, "--container", "Self", "--exchange", "--pin-stdin"}, kPin);
    ASSERT_EQ(ssh.status, 0) << ssh.err;
    ASSERT_EQ(shell("ssh-keygen -D " + softhsm::modulePath(), &output), 0) << output;
    EXPECT_NE(output.find(firstTwoFields(ssh.out)), std::string::npos) << output << "\n" << ssh.out;
}

} // namespace
