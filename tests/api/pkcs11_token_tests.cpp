// libquillard's C functions on SoftHSM2 tokens of a private world, through the PKCS#11 driver: the key list,
// information, PIN state and logins, PIN changes, unlock and format, containers and imports.
#include "tests/common/softhsm_token.h"
#include "tests/common/temp_world.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "tools/demo_credentials.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using softhsm::kSoPin;
using softhsm::kUserPin;

namespace {

class Pkcs11TokenTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (softhsm::modulePath().empty())
            GTEST_SKIP() << "SoftHSM2 is not installed";
    }
    void TearDown() override { uninit_pkcs11(); }

    // Starts the library on SoftHSM2's module alone, with one token labelled `label`.
    void startWithToken(const std::string& label = "Test token") {
        ASSERT_TRUE(softhsm::initToken(label));
        ASSERT_EQ(init_pkcs11(softhsm::modulePath().c_str()), QR_OK);
        ASSERT_GE(softhsm::findKeys(), 1);
    }

    // The key index of the initialised token (the module was named, so its spare slot is listed too).
    int32_t tokenIndex() {
        const int32_t count = softhsm::findKeys();
        for (int32_t idx = 0; idx < count; ++idx)
            if (softhsm::keyFacts(idx).values[8] == 1)
                return idx;
        return -1;
    }

    void login(int32_t idx, const char* pin = kUserPin) {
        int32_t left = 0;
        ASSERT_EQ(token_login(idx, pin, &left), QR_OK);
    }

    std::string writePkcs12(quillard::demo::KeyType type, const std::string& name) {
        auto path = world.root() / (name + ".p12");
        auto credential = quillard::demo::makeSelfSignedCredential(type, name);
        EXPECT_TRUE(quillard::demo::writePkcs12File(path, credential, "pass", false));
        return path.string();
    }

    void importPkcs12(int32_t idx, const std::string& container, int32_t spec, const std::string& path) {
        int32_t entries = 0;
        ASSERT_EQ(pkcs12_file_parse(path.c_str(), "pass", &entries), QR_OK);
        ASSERT_EQ(entries, 1);
        ASSERT_EQ(pkcs12_import_certificate(idx, container.c_str(), spec, 0), QR_OK);
    }

    TempWorld world;
};

} // namespace

TEST_F(Pkcs11TokenTest, ANamedSoftwareModuleListsItsSpareSlotAndTheTokenWithDecodedInformation) {
    // pkcs11-tool cuts a long label at 32 bytes, here in the middle of a Cyrillic letter.
    const std::string longLabel = "A очень длинная метка 令牌";
    ASSERT_EQ(softhsm::run("pkcs11-tool --module " + softhsm::modulePath() + " --init-token --so-pin " +
                           kSoPin + " --label " + softhsm::quoted(longLabel)),
              0);
    ASSERT_EQ(init_pkcs11(softhsm::modulePath().c_str()), QR_OK);
    ASSERT_EQ(softhsm::findKeys(), 2) << "the initialised token and the spare slot";
    const int32_t idx = tokenIndex();
    ASSERT_GE(idx, 0);
    softhsm::KeyFacts facts = softhsm::keyFacts(idx);
    // The UTF-8 is cut on a character boundary and the blank padding is gone.
    EXPECT_EQ(facts.label, "A очень длинная ме");
    EXPECT_EQ(facts.manufacturer, "SoftHSM project");
    EXPECT_EQ(facts.model, "SoftHSM v2");
    EXPECT_FALSE(facts.serial.empty());
    EXPECT_EQ(facts.serial.find(' '), std::string::npos);
    EXPECT_EQ(facts.values[6], 2 * 256 + 6) << "hardware version 2.6";
    EXPECT_GE(facts.values[0], facts.values[1]);
    EXPECT_EQ(facts.values[4], QUILLARD_MEMORY_UNKNOWN) << "SoftHSM2 tells no memory; never 0, a full key";
    EXPECT_EQ(facts.values[5], QUILLARD_MEMORY_UNKNOWN);
    EXPECT_EQ(softhsm::keyFacts(1 - idx).values[8], 0) << "the spare slot is not initialised";

    // The same token keeps its index over rescans.
    ASSERT_EQ(softhsm::findKeys(), 2);
    EXPECT_EQ(softhsm::keyFacts(idx).serial, facts.serial);
    EXPECT_EQ(token_connect(idx), QR_OK);
    EXPECT_EQ(token_connect(5), QR_SLOT_ID_INVALID);
}

TEST_F(Pkcs11TokenTest, PinStateIsUnknownRetriesAndLoginsFollowTheToken) {
    startWithToken();
    const int32_t idx = tokenIndex();
    int32_t s[6] = {};
    ASSERT_EQ(token_get_pin_state(idx, 1, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]), QR_OK);
    EXPECT_EQ(s[0], QUILLARD_RETRIES_UNKNOWN) << "SoftHSM2 does not say how many tries are left";
    EXPECT_EQ(s[1], QUILLARD_RETRIES_UNKNOWN);
    EXPECT_EQ(s[4], 0);
    EXPECT_EQ(s[5], 0);

    int32_t left = 0;
    EXPECT_EQ(token_login(idx, "00000000", &left), QR_PIN_INCORRECT);
    EXPECT_EQ(left, QUILLARD_RETRIES_UNKNOWN) << "never an invented count";
    char failure[256];
    int32_t length = sizeof failure;
    ASSERT_EQ(quillard_last_failure(failure, &length), QR_OK);
    EXPECT_NE(std::string(failure).find("C_Login failed with CKR_PIN_INCORRECT"), std::string::npos)
        << failure;

    login(idx);
    ASSERT_EQ(token_get_pin_state(idx, 1, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]), QR_OK);
    EXPECT_EQ(s[5], 1);
    ASSERT_EQ(token_get_pin_state(idx, 0, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]), QR_OK);
    EXPECT_EQ(s[5], 0) << "the SO is not logged in";
    EXPECT_EQ(token_logout(idx), QR_OK);
    ASSERT_EQ(token_get_pin_state(idx, 1, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]), QR_OK);
    EXPECT_EQ(s[5], 0);
    EXPECT_EQ(token_login_so(idx, kSoPin, &left), QR_OK);
    ASSERT_EQ(token_get_pin_state(idx, 0, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]), QR_OK);
    EXPECT_EQ(s[5], 1);
}

TEST_F(Pkcs11TokenTest, PinChangesUnlockAndWhatPkcs11CannotDo) {
    startWithToken();
    const int32_t idx = tokenIndex();
    EXPECT_EQ(token_change_upin(idx, "wrong-pin", "11112222"), QR_PIN_INCORRECT);
    EXPECT_EQ(token_change_upin(idx, kUserPin, "11112222"), QR_OK);
    int32_t left = 0;
    EXPECT_EQ(token_login(idx, kUserPin, &left), QR_PIN_INCORRECT);
    login(idx, "11112222");

    EXPECT_EQ(token_change_sopin(idx, "wrong-so-pin", "99998888"), QR_PIN_INCORRECT);
    EXPECT_EQ(token_change_sopin(idx, kSoPin, "99998888"), QR_OK);
    EXPECT_EQ(token_login_so(idx, kSoPin, &left), QR_PIN_INCORRECT);
    EXPECT_EQ(token_set_upin(idx, kSoPin, "33334444"), QR_PIN_INCORRECT);
    EXPECT_EQ(token_set_upin(idx, "99998888", "33334444"), QR_OK);
    login(idx, "33334444");

    char label[64] = "New label";
    EXPECT_EQ(token_set_label(idx, label), QR_FUNCTION_NOT_SUPPORTED);
    std::vector<uint8_t> sector(2048);
    EXPECT_EQ(token_write_sectors(idx, 0, 1, sector.data()), QR_FUNCTION_NOT_SUPPORTED);
}

TEST_F(Pkcs11TokenTest, FormatNeedsTheSoLoginAndSetsLabelAndBothPins) {
    startWithToken("Before format");
    const int32_t idx = tokenIndex();
    login(idx);
    ASSERT_EQ(container_create_new(idx, "kept?"), QR_OK);
    TFormatParams params{};
    std::snprintf(params.label, sizeof params.label, "%s", "Formatted 令牌");
    std::snprintf(params.so_pin, sizeof params.so_pin, "%s", "55556666");
    std::snprintf(params.user_pin, sizeof params.user_pin, "%s", "77778888");
    params.user_pin_retries = 5;
    EXPECT_EQ(token_format(idx, &params), QR_USER_NOT_LOGGED_IN) << "an initialised token needs the SO first";
    int32_t left = 0;
    ASSERT_EQ(token_login_so(idx, kSoPin, &left), QR_OK);
    ASSERT_EQ(token_format(idx, &params), QR_OK);

    ASSERT_GE(softhsm::findKeys(), 1);
    const int32_t formatted = tokenIndex();
    ASSERT_GE(formatted, 0);
    EXPECT_EQ(softhsm::keyFacts(formatted).label, "Formatted 令牌");
    EXPECT_EQ(token_login(formatted, kUserPin, &left), QR_PIN_INCORRECT);
    login(formatted, "77778888");
    EXPECT_TRUE(softhsm::containers(formatted).empty()) << "a format erases the token";
    EXPECT_EQ(token_login_so(formatted, "55556666", &left), QR_OK);
}

TEST_F(Pkcs11TokenTest, TheSpareSlotOfANamedModuleIsInitialisedByAFormat) {
    ASSERT_EQ(init_pkcs11(softhsm::modulePath().c_str()), QR_OK);
    ASSERT_EQ(softhsm::findKeys(), 1);
    EXPECT_EQ(softhsm::keyFacts(0).values[8], 0);
    TFormatParams params{};
    std::snprintf(params.label, sizeof params.label, "%s", "Fresh");
    std::snprintf(params.so_pin, sizeof params.so_pin, "%s", kSoPin);
    std::snprintf(params.user_pin, sizeof params.user_pin, "%s", kUserPin);
    ASSERT_EQ(token_format(0, &params), QR_OK);
    ASSERT_EQ(softhsm::findKeys(), 2);
    const int32_t idx = tokenIndex();
    EXPECT_EQ(softhsm::keyFacts(idx).label, "Fresh");
    login(idx);
}

TEST_F(Pkcs11TokenTest, ContainersImportsAndDeletions) {
    startWithToken();
    const int32_t idx = tokenIndex();
    EXPECT_EQ(container_create_new(idx, "Alice"), QR_USER_NOT_LOGGED_IN);
    login(idx);
    ASSERT_EQ(container_create_new(idx, "Alice"), QR_OK);
    EXPECT_EQ(container_create_new(idx, "Alice"), QR_CONTAINER_EXISTS);
    EXPECT_EQ(softhsm::containers(idx), std::vector<std::string>{"Alice"}) << "kept as a data object";

    importPkcs12(idx, "Alice", 1, writePkcs12(quillard::demo::KeyType::Rsa2048, "Alice RSA"));
    importPkcs12(idx, "Alice", 2, writePkcs12(quillard::demo::KeyType::EcP256, "Alice EC"));
    EXPECT_EQ(softhsm::containers(idx), std::vector<std::string>{"Alice"});

    int32_t algorithm = -1, bits = 0;
    std::vector<uint8_t> spki(4096);
    int32_t length = static_cast<int32_t>(spki.size());
    ASSERT_EQ(container_get_pubkey(idx, "Alice", 1, &algorithm, &bits, spki.data(), &length), QR_OK);
    EXPECT_EQ(algorithm, 0);
    EXPECT_EQ(bits, 2048);
    ASSERT_EQ(container_get_prikey(idx, "Alice", 2, &algorithm, &bits), QR_OK);
    EXPECT_EQ(algorithm, 3);
    EXPECT_EQ(bits, 256);
    EXPECT_FALSE(softhsm::certificate(idx, "Alice", 1).empty());
    EXPECT_FALSE(softhsm::certificate(idx, "Alice", 2).empty());

    // A certificate alone (X.509 file) replaces the exchange certificate and drops the old private key.
    auto x509 = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Bob");
    auto x509Path = world.root() / "bob.cer";
    ASSERT_TRUE(quillard::demo::writeCertificateFile(x509Path, x509, true));
    ASSERT_EQ(x509_import_certificate(idx, "Alice", 1, x509Path.c_str()), QR_OK);
    EXPECT_EQ(softhsm::certificate(idx, "Alice", 1), x509.certificateDer);
    EXPECT_EQ(container_get_prikey(idx, "Alice", 1, &algorithm, &bits), QR_OBJECT_HANDLE_INVALID);
    // An import into a container that is not there makes it with what it stores.
    ASSERT_EQ(x509_import_certificate(idx, "Bob", 1, x509Path.c_str()), QR_OK);
    EXPECT_EQ(softhsm::containers(idx), (std::vector<std::string>{"Alice", "Bob"}));
    EXPECT_EQ(softhsm::certificate(idx, "Bob", 1), x509.certificateDer);
    ASSERT_EQ(container_delete(idx, "Bob"), QR_OK);

    // Public objects stay readable after logout; the private key needs the login.
    ASSERT_EQ(token_logout(idx), QR_OK);
    EXPECT_EQ(softhsm::certificate(idx, "Alice", 1), x509.certificateDer);
    EXPECT_EQ(container_get_prikey(idx, "Alice", 2, &algorithm, &bits), QR_USER_NOT_LOGGED_IN);
    login(idx);

    EXPECT_EQ(container_delete_cert(idx, "Alice", 2), QR_OK);
    EXPECT_TRUE(softhsm::certificate(idx, "Alice", 2).empty());
    EXPECT_EQ(container_delete_cert(idx, "Alice", 2), QR_OBJECT_HANDLE_INVALID);
    EXPECT_EQ(container_delete(idx, "Alice"), QR_OK);
    EXPECT_TRUE(softhsm::containers(idx).empty()) << "every object of the container is gone";
    EXPECT_EQ(container_delete(idx, "Alice"), QR_CONTAINER_NOT_FOUND);
}

TEST_F(Pkcs11TokenTest, AFailedImportLeavesTheTokenAsItWas) {
    startWithToken();
    const int32_t idx = tokenIndex();
    login(idx);
    ASSERT_EQ(container_create_new(idx, "Carol"), QR_OK);
    importPkcs12(idx, "Carol", 1, writePkcs12(quillard::demo::KeyType::Rsa2048, "Carol"));
    const std::vector<uint8_t> before = softhsm::certificate(idx, "Carol", 1);
    std::string objectsBefore;
    const std::string list = "pkcs11-tool --module " + softhsm::modulePath() + " -O -l --pin " + kUserPin;
    ASSERT_EQ(softhsm::run(list, &objectsBefore), 0);

    // A certificate whose public key is an Ed25519 key has no PKCS#11 form here: the import stops after
    // nothing, or after the certificate object, and takes back what it created.
    auto path = world.root() / "ed.cer";
    ASSERT_EQ(softhsm::run("openssl req -x509 -newkey ed25519 -nodes -keyout " +
                           (world.root() / "ed.key").string() + " -subj /CN=Ed -days 1 -out " +
                           path.string()),
              0);
    EXPECT_NE(x509_import_certificate(idx, "Carol", 1, path.c_str()), QR_OK);
    EXPECT_EQ(softhsm::certificate(idx, "Carol", 1), before);
    std::string objectsAfter;
    ASSERT_EQ(softhsm::run(list, &objectsAfter), 0);
    EXPECT_EQ(objectsAfter, objectsBefore);
}

TEST_F(Pkcs11TokenTest, ATokenWithSixtyFiveContainersAndLongNamesReadsWhole) {
    startWithToken();
    const int32_t idx = tokenIndex();
    login(idx);
    const std::string longName = std::string(200, 'x') + " 容器";
    std::vector<std::string> names{longName};
    for (int i = 0; i < 64; ++i)
        names.push_back("container-" + std::to_string(100 + i));
    const auto credential = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Many");
    auto path = world.root() / "many.cer";
    ASSERT_TRUE(quillard::demo::writeCertificateFile(path, credential, false));
    for (const std::string& name : names) {
        ASSERT_EQ(container_create_new(idx, name.c_str()), QR_OK) << name;
        ASSERT_EQ(x509_import_certificate(idx, name.c_str(), 2, path.c_str()), QR_OK) << name;
    }
    std::vector<std::string> listed = softhsm::containers(idx);
    ASSERT_EQ(listed.size(), 65u);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(listed, names) << "sorted by name";
    for (const std::string& name : names)
        EXPECT_EQ(softhsm::certificate(idx, name, 2), credential.certificateDer) << name;
    // As many as the window and the command line show: no more are made.
    EXPECT_EQ(container_create_new(idx, "one too many"), QR_CONTAINER_LIMIT);
    EXPECT_EQ(x509_import_certificate(idx, "one too many", 2, path.c_str()), QR_CONTAINER_LIMIT);
    EXPECT_EQ(softhsm::containers(idx).size(), 65u);
}
