// Provisioning a fleet: random SO PINs escrowed to a recovery certificate, provisioning records in an SQLite
// file and in a PostgreSQL server shared by two stations, recovery of a locked key with the recovery key.
#include "cli_world.h"
#include "postgres_server.h"
#include "tests/common/softhsm_token.h"
#include "tools/demo_credentials.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace {

enum class StoreKind { Sqlite, Postgres };

const std::string kPassPhrase = "recovery pass";

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The files under `folder` (searched as far as this process may read) that hold `secret`.
std::vector<std::string> filesHolding(const std::filesystem::path& folder, const std::string& secret) {
    std::vector<std::string> holding;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(
             folder, std::filesystem::directory_options::skip_permission_denied, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file() && fileText(it->path()).find(secret) != std::string::npos)
            holding.push_back(it->path().string());
    return holding;
}

// The last line of `text`.
std::string lastLine(const std::string& text) {
    std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
    return trimmed.substr(trimmed.find_last_of('\n') + 1);
}

class CliFleetTest : public ::testing::TestWithParam<StoreKind> {
protected:
    void SetUp() override {
        if (GetParam() == StoreKind::Postgres) {
            server = std::make_unique<PostgresServer>();
            if (!server->failure().empty())
                GTEST_SKIP() << "PostgreSQL cannot start here: " << server->failure();
            store = server->location();
        } else {
            store = (world.root() / "records.db").string();
        }
        // The recovery certificate and its encrypted key, made once with openssl as an administrator would.
        makeRecoveryPair("recovery", kPassPhrase);
        settings =
            world.file("fleet.ini", "[InitData]\nLabelName=Staff key\nmanufacture=Norvale\nIssuer=IT\n"
                                    "default_sopin=87654321\ndefault_upin=12345678\nuPinRetryTimes=3\n");
        std::filesystem::create_directories(world.root() / "p12");
        std::filesystem::create_directories(world.root() / "letters");
    }

    void makeRecoveryPair(const std::string& name, const std::string& passPhrase) {
        const auto key = world.root() / (name + ".key");
        const auto certificate = world.root() / (name + ".pem");
        ASSERT_EQ(softhsm::run("openssl req -x509 -newkey rsa:2048 -sha256 -days 30 -subj /CN=Fleet-recovery "
                               "-passout pass:" +
                               softhsm::quoted(passPhrase) + " -keyout " + softhsm::quoted(key.string()) +
                               " -out " + softhsm::quoted(certificate.string())),
                  0);
    }

    void addPkcs12(const std::string& serial) {
        const auto credential =
            quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "User " + serial);
        ASSERT_TRUE(quillard::demo::writePkcs12File(world.root() / "p12" / (serial + ".p12"), credential,
                                                    "transport", false));
    }

    std::vector<std::string> provisionArguments(const std::vector<std::string>& keys) const {
        std::vector<std::string> arguments{"provision",
                                           "--settings",
                                           settings.string(),
                                           "--records",
                                           store,
                                           "--random-so-pin",
                                           "--escrow",
                                           (world.root() / "recovery.pem").string(),
                                           "--pkcs12",
                                           (world.root() / "p12").string(),
                                           "--json",
                                           "--pin-stdin"};
        arguments.insert(arguments.begin() + 1, keys.begin(), keys.end());
        return arguments;
    }

    QJsonArray records(const std::vector<std::string>& filter = {}) const {
        std::vector<std::string> arguments{"records", "--records", store, "--json"};
        arguments.insert(arguments.end(), filter.begin(), filter.end());
        const CliRun run = world.cli(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        return run.json().array();
    }

    CliRun escrowShow(const std::string& key) const {
        return world.cli({"escrow", "show", key, "--records", store, "--recovery-key",
                          (world.root() / "recovery.key").string(), "--pin-stdin"},
                         kPassPhrase + "\n");
    }

    CliWorld world;
    std::unique_ptr<PostgresServer> server;
    std::string store;
    std::filesystem::path settings;
};

TEST_P(CliFleetTest, TwoStationsProvisionAtOnceAndEveryKeyKeepsItsOwnEscrowedSoPin) {
    std::vector<std::string> first, second;
    for (int i = 1; i <= 6; ++i) {
        const std::string serial = "FLEET00" + std::to_string(i);
        world.createBlankKey(serial);
        addPkcs12(serial);
        (i <= 3 ? first : second).push_back(serial);
    }
    CliRun a, b;
    std::thread stationA([&] { a = world.cli(provisionArguments(first), "transport\n"); });
    std::thread stationB([&] { b = world.cli(provisionArguments(second), "transport\n"); });
    stationA.join();
    stationB.join();
    ASSERT_EQ(a.status, 0) << a.out << a.err;
    ASSERT_EQ(b.status, 0) << b.out << b.err;

    // Each key: the sealed SO PIN before it was touched, then its outcome with its certificate.
    const QJsonArray all = records();
    ASSERT_EQ(all.size(), 12);
    std::set<qint64> ids;
    std::set<std::string> done;
    for (const QJsonValue& value : all) {
        const QJsonObject record = value.toObject();
        ids.insert(record["id"].toInteger());
        EXPECT_EQ(record["kind"].toString(), "provision");
        EXPECT_FALSE(record["settings"].toObject().contains("default_sopin"));
        if (record["result"].toString() == "ok") {
            done.insert(record["serial"].toString().toStdString());
            ASSERT_EQ(record["certificates"].toArray().size(), 1);
            EXPECT_TRUE(record["certificates"].toArray()[0].toObject()["subject"].toString().contains(
                "User " + record["serial"].toString()));
        } else {
            EXPECT_EQ(record["result"].toString(), "started");
            EXPECT_TRUE(record["soPinEscrowed"].toBool());
        }
    }
    EXPECT_EQ(ids.size(), 12u);
    EXPECT_EQ(done.size(), 6u);

    std::map<std::string, std::string> soPins; // by key
    std::set<std::string> distinct;
    for (const auto& station : {first, second})
        for (const std::string& key : station) {
            const CliRun shown = escrowShow(key);
            ASSERT_EQ(shown.status, 0) << shown.err;
            soPins[key] = lastLine(shown.out);
            distinct.insert(soPins[key]);
        }
    EXPECT_EQ(distinct.size(), 6u);
    EXPECT_EQ(records({"--serial", "FLEET001"}).size(), 3); // started, ok, shown
    for (const std::string& soPin : distinct) {
        EXPECT_EQ(soPin.size(), 16u);
        for (const std::string* output : {&a.out, &a.err, &b.out, &b.err})
            EXPECT_EQ(output->find(soPin), std::string::npos);
        EXPECT_EQ(filesHolding(world.root(), soPin), std::vector<std::string>{}) << soPin;
        if (server) {
            EXPECT_EQ(filesHolding(server->folder(), soPin), std::vector<std::string>{}) << soPin;
        }
    }
    // The escrowed SO PIN is the key's own.
    EXPECT_EQ(
        world.cli({"change-so-pin", "FLEET005", "--pin-stdin"}, soPins["FLEET005"] + "\n99998888\n").status,
        0);
}

TEST_P(CliFleetTest, ALockedKeyIsUnlockedWithTheRecoveryKeyAndFoundByItsCertificate) {
    world.createBlankKey("LOCKED01");
    addPkcs12("LOCKED01");
    makeRecoveryPair("stranger", "other pass");
    const CliRun provisioned = world.cli(provisionArguments({"LOCKED01"}), "transport\n");
    ASSERT_EQ(provisioned.status, 0) << provisioned.out << provisioned.err;
    const CliRun certs = world.cli({"certs", "LOCKED01", "--json", "--pin-stdin"}, "12345678\n");
    ASSERT_EQ(certs.status, 0) << certs.err;
    const QString sha256 =
        certs.json().array()[0].toObject()["certificates"].toArray()[0].toObject()["sha256"].toString();
    for (int i = 0; i < 3; ++i)
        world.cli({"certs", "LOCKED01", "--pin-stdin"}, "00000000\n");
    ASSERT_EQ(world.cli({"certs", "LOCKED01", "--pin-stdin"}, "12345678\n").status, 4);

    // A stranger's recovery key opens nothing and changes nothing.
    const CliRun wrong = world.cli({"unlock", "LOCKED01", "--records", store, "--recovery-key",
                                    (world.root() / "stranger.key").string(), "--pin-stdin"},
                                   "other pass\n55556666\n");
    EXPECT_EQ(wrong.status, 4);
    EXPECT_NE(wrong.err.find("does not open"), std::string::npos) << wrong.err;
    EXPECT_EQ(world.cli({"certs", "LOCKED01", "--pin-stdin"}, "55556666\n").status, 4);
    EXPECT_EQ(world
                  .cli({"unlock", "LOCKED01", "--records", store, "--recovery-key",
                        (world.root() / "recovery.key").string(), "--pin-stdin"},
                       "wrong pass\n55556666\n")
                  .status,
              4);

    const CliRun unlocked = world.cli({"unlock", "LOCKED01", "--records", store, "--recovery-key",
                                       (world.root() / "recovery.key").string(), "--pin-stdin"},
                                      kPassPhrase + "\n55556666\n");
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_EQ(world.cli({"certs", "LOCKED01", "--pin-stdin"}, "55556666\n").status, 0);

    // Found a year later by the certificate, in either fingerprint form.
    QString colons;
    const QString hex = sha256.toLower().remove(':');
    for (int i = 0; i < hex.size(); i += 2)
        colons += (i ? ":" : "") + hex.mid(i, 2).toUpper();
    for (const QString& form : {hex, colons}) {
        const QJsonArray found = records({"--fingerprint", form.toStdString()});
        ASSERT_EQ(found.size(), 1) << form.toStdString();
        EXPECT_EQ(found[0].toObject()["serial"].toString(), "LOCKED01");
        EXPECT_EQ(found[0].toObject()["certificates"].toArray()[0].toObject()["sha256"].toString(), hex);
    }
    const QJsonArray history = records({"--serial", "LOCKED01"});
    ASSERT_EQ(history.size(), 3);
    EXPECT_EQ(history[2].toObject()["kind"].toString(), "unlock");
    EXPECT_EQ(history[2].toObject()["result"].toString(), "ok");
    EXPECT_TRUE(records({"--since", "2999-01-01"}).isEmpty());
}

TEST_P(CliFleetTest, NothingIsProvisionedUnrecorded) {
    world.createBlankKey("UNREC001");
    const std::string unreachable = GetParam() == StoreKind::Postgres
                                        ? "postgresql://pellorzu:secret@/postgres?host=/nonexistent"
                                        : (world.root() / "no-folder" / "records.db").string();
    std::vector<std::string> arguments = provisionArguments({"UNREC001"});
    std::replace(arguments.begin(), arguments.end(), store, unreachable);
    const CliRun refused = world.cli(arguments, "transport\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("cannot be used"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("secret"), std::string::npos) << "the password is shown: " << refused.err;
    EXPECT_FALSE(world.cli({"info", "UNREC001", "--json"}).json().object()["initialised"].toBool());
    // A random SO PIN with nowhere to keep it is refused before any key is touched.
    EXPECT_EQ(world.cli({"provision", "UNREC001", "--settings", settings.string(), "--random-so-pin"}).status,
              2);
}

INSTANTIATE_TEST_SUITE_P(Stores, CliFleetTest, ::testing::Values(StoreKind::Sqlite, StoreKind::Postgres),
                         [](const auto& info) {
                             return info.param == StoreKind::Sqlite ? "Sqlite" : "Postgres";
                         });

// The same provisioning on a SoftHSM2 token through the PKCS#11 driver: the escrowed SO PIN is the token's.
TEST(CliFleetSoftHsmTest, ATokenIsProvisionedWithAnEscrowedSoPin) {
    if (softhsm::modulePath().empty())
        GTEST_SKIP() << "SoftHSM2 is not installed";
    CliWorld world;
    ASSERT_TRUE(softhsm::initToken("Fleet token"));
    std::string name;
    for (const QJsonValue& key : world.cli({"list", "--json"}).json().array())
        if (key.toObject()["module"].toString() != "virtual")
            name = (key.toObject()["module"].toString() + ":" + key.toObject()["serial"].toString())
                       .toStdString();
    ASSERT_FALSE(name.empty()) << "the SoftHSM2 token is not listed";
    ASSERT_EQ(softhsm::run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -days 30 -nodes "
                           "-subj /CN=Fleet-recovery -keyout " +
                           softhsm::quoted((world.root() / "recovery.key").string()) + " -out " +
                           softhsm::quoted((world.root() / "recovery.pem").string())),
              0);
    const auto settings = world.file("token.ini", "[InitData]\nLabelName=Fleet token\nmanufacture=Norvale\n"
                                                  "default_sopin=87654321\ndefault_upin=12345678\n");
    const std::string store = (world.root() / "records.db").string();
    const CliRun provisioned =
        world.cli({"provision", name, "--settings", settings.string(), "--records", store, "--random-so-pin",
                   "--escrow", (world.root() / "recovery.pem").string(), "--random-user-pin", "--pin-letters",
                   world.root().string(), "--pin-stdin"},
                  std::string(softhsm::kSoPin) + "\n");
    ASSERT_EQ(provisioned.status, 0) << provisioned.out << provisioned.err;

    // The user PIN is in the owner-only letter; the SO PIN nowhere but sealed in the store.
    const std::string serial = name.substr(name.find(':') + 1);
    const auto letter = world.root() / (serial + "-pin-letter.txt");
    ASSERT_TRUE(std::filesystem::exists(letter));
    EXPECT_EQ(std::filesystem::status(letter).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string userPin = lastLine(fileText(letter));
    EXPECT_EQ(world.cli({"certs", name, "--pin-stdin"}, userPin + "\n").status, 0);
    EXPECT_NE(world.cli({"certs", name, "--pin-stdin"}, "12345678\n").status, 0);

    const CliRun shown = world.cli({"escrow", "show", name, "--records", store, "--recovery-key",
                                    (world.root() / "recovery.key").string()});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::string soPin = lastLine(shown.out);
    EXPECT_EQ(filesHolding(world.root(), soPin), std::vector<std::string>{});
    EXPECT_NE(world.cli({"change-so-pin", name, "--pin-stdin"}, "87654321\n11112222\n").status, 0);
    EXPECT_EQ(
        world.cli({"change-so-pin", name, "--pin-stdin", "--records", store}, soPin + "\n11112222\n").status,
        0);
    // That change was recorded without escrow: the old escrow no longer stands for the key's SO PIN.
    const CliRun stale = world.cli({"escrow", "show", name, "--records", store, "--recovery-key",
                                    (world.root() / "recovery.key").string()});
    EXPECT_EQ(stale.status, 1);
    EXPECT_NE(stale.err.find("without escrow"), std::string::npos) << stale.err;
}

// A recovery key of `type` imported into the virtual key RECOV001 (its exchange pair), and the key LOCKED02
// provisioned with a random SO PIN escrowed to it, then locked by three wrong user PINs. Returns the record
// store; `uri` names the recovery key through our module.
std::string provisionEscrowedToATokenKey(CliWorld& world, quillard::demo::KeyType type, std::string& uri) {
    world.createKey("RECOV001");
    const auto credential = quillard::demo::makeSelfSignedCredential(type, "Fleet recovery");
    EXPECT_TRUE(
        quillard::demo::writePkcs12File(world.root() / "recovery.p12", credential, "transport", false));
    EXPECT_TRUE(quillard::demo::writeCertificateFile(world.root() / "recovery.pem", credential, true));
    EXPECT_EQ(world
                  .cli({"import", "RECOV001", (world.root() / "recovery.p12").string(), "--pin-stdin"},
                       "12345678\ntransport\n")
                  .status,
              0);

    world.createBlankKey("LOCKED02");
    // The SO PIN is made for the key, so the settings hold none.
    const auto settings = world.file("fleet.ini", "[InitData]\nLabelName=Staff key\nmanufacture=Norvale\n"
                                                  "default_upin=12345678\nuPinRetryTimes=3\n");
    const std::string store = (world.root() / "records.db").string();
    const CliRun provisioned =
        world.cli({"provision", "LOCKED02", "--settings", settings.string(), "--records", store,
                   "--random-so-pin", "--escrow", (world.root() / "recovery.pem").string(), "--pin-stdin"});
    EXPECT_EQ(provisioned.status, 0) << provisioned.out << provisioned.err;
    for (int i = 0; i < 3; ++i)
        world.cli({"certs", "LOCKED02", "--pin-stdin"}, "00000000\n");
    uri = std::string("pkcs11:serial=RECOV001;type=private?module-path=") + PELLORZU_MODULE_PATH;
    return store;
}

CliRun unlockWith(CliWorld& world, const std::string& store, const std::string& recoveryKey,
                  const std::string& input) {
    return world.cli({"unlock", "LOCKED02", "--records", store, "--recovery-key", recoveryKey, "--pin-stdin"},
                     input);
}

// The SO PIN `escrow show` opens with the recovery key `uri` is LOCKED02's own: the key takes it.
void expectEscrowShowsTheSoPin(CliWorld& world, const std::string& store, const std::string& uri) {
    const CliRun shown =
        world.cli({"escrow", "show", "LOCKED02", "--records", store, "--recovery-key", uri, "--pin-stdin"},
                  "12345678\n");
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(
        world.cli({"change-so-pin", "LOCKED02", "--pin-stdin"}, lastLine(shown.out) + "\n99998888\n").status,
        0);
}

// The recovery key as an RSA key on one of our own virtual keys, named by a PKCS#11 URI and used through the
// module: the content key is decrypted on the token, and a wrong PIN for that token changes nothing.
TEST(CliFleetTokenRecoveryTest, ALockedKeyIsUnlockedWithARecoveryKeyOnAToken) {
    CliWorld world;
    std::string uri;
    const std::string store = provisionEscrowedToATokenKey(world, quillard::demo::KeyType::Rsa2048, uri);
    const std::string module = std::string("?module-path=") + PELLORZU_MODULE_PATH;
    const auto unlock = [&](const std::string& recoveryKey, const std::string& input) {
        return unlockWith(world, store, recoveryKey, input);
    };
    const CliRun wrongPin = unlock(uri, "00000000\n55556666\n");
    EXPECT_EQ(wrongPin.status, 4);
    EXPECT_NE(wrongPin.err.find("refused its PIN"), std::string::npos) << wrongPin.err;
    EXPECT_EQ(unlock(uri + "&pin-value=12345678", "12345678\n55556666\n").status, 2);
    EXPECT_EQ(unlock("pkcs11:serial=NOSUCH01" + module, "12345678\n55556666\n").status, 3);
    EXPECT_EQ(world.cli({"certs", "LOCKED02", "--pin-stdin"}, "55556666\n").status, 4);

    const CliRun unlocked = unlock(uri, "12345678\n55556666\n");
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_EQ(world.cli({"certs", "LOCKED02", "--pin-stdin"}, "55556666\n").status, 0);

    // The SO PIN opened on the token is the key's own.
    expectEscrowShowsTheSoPin(world, store, uri);
}

// The recovery key as an EC key on a virtual key: the secret shared with the sealing's one-time key is
// agreed on the token by ECDH and the content key unwrapped here; the private key stays on the token.
TEST(CliFleetTokenRecoveryTest, AnEcRecoveryKeyOnATokenOpensTheEscrowByAgreement) {
    CliWorld world;
    std::string uri;
    const std::string store = provisionEscrowedToATokenKey(world, quillard::demo::KeyType::EcP256, uri);
    EXPECT_EQ(unlockWith(world, store, uri, "00000000\n55556666\n").status, 4);
    const CliRun unlocked = unlockWith(world, store, uri, "12345678\n55556666\n");
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    EXPECT_EQ(world.cli({"certs", "LOCKED02", "--pin-stdin"}, "55556666\n").status, 0);
    expectEscrowShowsTheSoPin(world, store, uri);
}

} // namespace
