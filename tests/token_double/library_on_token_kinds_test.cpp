// libquillard on tokens as the test token module makes them: it tells a PIN-pad reader, a write-protected
// token and one without login apart, logs in on the pad without a PIN, and reports a token pulled out
// during a slow read as removed.
#include "tests/common/softhsm_token.h"
#include "tests/common/temp_world.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"

#include <p11-kit/pkcs11.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

class LibraryOnTokenKindsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (softhsm::modulePath().empty())
            GTEST_SKIP() << "SoftHSM2 is not installed";
        ASSERT_TRUE(softhsm::initToken("Kinds"));
        // A container to find, written before the token is wrapped.
        ASSERT_TRUE(softhsm::fillToken("Kinds", "kept", 1));
    }
    void TearDown() override {
        uninit_pkcs11();
        unsetenv("PZ_TEST_TOKEN_SETTINGS");
    }

    // Starts the library on the test module over SoftHSM2 with `settings`; the index of the token.
    int32_t start(const std::string& settings) {
        const auto file = world.root() / "token-double.conf";
        EXPECT_TRUE(writeTestFile(file, "module = " + softhsm::modulePath() + "\n" + settings));
        setenv("PZ_TEST_TOKEN_SETTINGS", file.c_str(), 1);
        EXPECT_EQ(init_pkcs11(PZ_TEST_TOKEN_MODULE_PATH), QR_OK);
        const int32_t count = softhsm::findKeys();
        for (int32_t idx = 0; idx < count; ++idx)
            if (softhsm::keyFacts(idx).values[8] == 1)
                return idx;
        ADD_FAILURE() << "the initialised token is not listed";
        return -1;
    }
    static int32_t flagsOf(int32_t idx) {
        int32_t flags = -1;
        EXPECT_EQ(quillard_token_flags(idx, &flags), QR_OK);
        return flags;
    }

    TempWorld world;
};

TEST_F(LibraryOnTokenKindsTest, AnOrdinaryTokenHasNoFlagsAndRefusesALoginWithoutPin) {
    const int32_t idx = start("");
    EXPECT_EQ(flagsOf(idx), 0);
    int32_t left = 0;
    EXPECT_EQ(token_login(idx, nullptr, &left), QR_ARGUMENTS_BAD);
    EXPECT_EQ(token_login(idx, softhsm::kUserPin, &left), QR_OK);
    int32_t flags = 0;
    EXPECT_NE(quillard_token_flags(99, &flags), QR_OK) << "no key 99";
    EXPECT_EQ(quillard_token_flags(idx, nullptr), QR_ARGUMENTS_BAD);
}

TEST_F(LibraryOnTokenKindsTest, APinPadTokenLogsInWithoutAPinAndReportsAWrongOneFromThePad) {
    const int32_t idx = start("pin_pad = 1\npin = " + std::string(softhsm::kUserPin) + "\n");
    EXPECT_EQ(flagsOf(idx), QUILLARD_TOKEN_PIN_PAD);
    int32_t left = 0;
    EXPECT_EQ(token_login(idx, nullptr, &left), QR_OK);
    EXPECT_EQ(softhsm::containers(idx), std::vector<std::string>{"kept"});
}

TEST_F(LibraryOnTokenKindsTest, APinPadTokenChangesUnlocksAndFormatsWithEveryPinTypedOnThePad) {
    const std::string pins = "pin_pad = 1\npin = " + std::string(softhsm::kUserPin) +
                             "\nso_pin = " + softhsm::kSoPin +
                             "\nnew_pin = 11112222\nnew_so_pin = 33334444\n";
    const int32_t idx = start(pins);
    int32_t left = 0;
    // A call gives all of its PINs or none: half of them typed and half on the pad is refused.
    EXPECT_EQ(token_change_upin(idx, softhsm::kUserPin, nullptr), QR_ARGUMENTS_BAD);
    EXPECT_EQ(token_set_upin(idx, nullptr, "11112222"), QR_ARGUMENTS_BAD);

    ASSERT_EQ(token_change_upin(idx, nullptr, nullptr), QR_OK);
    EXPECT_EQ(token_login(idx, "11112222", &left), QR_OK) << "the user PIN typed on the pad was set";
    token_logout(idx);
    ASSERT_EQ(token_login_so(idx, nullptr, &left), QR_OK);
    ASSERT_EQ(token_change_sopin(idx, nullptr, nullptr), QR_OK);
    token_logout(idx);
    EXPECT_EQ(token_login_so(idx, "33334444", &left), QR_OK) << "the SO PIN typed on the pad was set";
    token_logout(idx);

    // Unlocking sets the new user PIN on the pad after the SO logged in there.
    EXPECT_EQ(token_login(idx, "00000000", &left), QR_PIN_INCORRECT);
    ASSERT_EQ(token_set_upin(idx, nullptr, nullptr), QR_OK);
    EXPECT_EQ(token_login(idx, "11112222", &left), QR_OK);
    token_logout(idx);

    // A format with no PINs in its settings takes them all on the pad and keeps the SO PIN.
    TFormatParams params{};
    std::strcpy(params.label, "Padded");
    ASSERT_EQ(token_login_so(idx, nullptr, &left), QR_OK);
    ASSERT_EQ(token_format(idx, &params), QR_OK);
    EXPECT_EQ(softhsm::containers(idx), std::vector<std::string>{});
    EXPECT_EQ(token_login(idx, "11112222", &left), QR_OK);
    token_logout(idx);
    EXPECT_EQ(token_login_so(idx, "33334444", &left), QR_OK);
}

TEST_F(LibraryOnTokenKindsTest, AnOrdinaryTokenRefusesPinChangesWithoutPins) {
    const int32_t idx = start("");
    EXPECT_EQ(token_change_upin(idx, nullptr, nullptr), QR_ARGUMENTS_BAD);
    EXPECT_EQ(token_change_sopin(idx, nullptr, nullptr), QR_ARGUMENTS_BAD);
    EXPECT_EQ(token_set_upin(idx, nullptr, nullptr), QR_ARGUMENTS_BAD);
    TFormatParams params{};
    std::strcpy(params.label, "Bare");
    int32_t left = 0;
    ASSERT_EQ(token_login_so(idx, softhsm::kSoPin, &left), QR_OK);
    EXPECT_EQ(token_format(idx, &params), QR_ARGUMENTS_BAD);
    EXPECT_EQ(softhsm::containers(idx), std::vector<std::string>{"kept"});
}

TEST_F(LibraryOnTokenKindsTest, AWriteProtectedTokenRefusesEveryWriteAndKeepsWhatItHolds) {
    const int32_t idx = start("write_protected = 1\n");
    EXPECT_EQ(flagsOf(idx), QUILLARD_TOKEN_WRITE_PROTECTED);
    int32_t left = 0;
    ASSERT_EQ(token_login(idx, softhsm::kUserPin, &left), QR_OK);
    EXPECT_EQ(container_create_new(idx, "new"), int32_t(CKR_TOKEN_WRITE_PROTECTED));
    EXPECT_EQ(container_delete(idx, "kept"), int32_t(CKR_TOKEN_WRITE_PROTECTED));
    EXPECT_EQ(token_change_upin(idx, softhsm::kUserPin, "11112222"), int32_t(CKR_TOKEN_WRITE_PROTECTED));
    EXPECT_EQ(softhsm::containers(idx), std::vector<std::string>{"kept"});
    token_logout(idx);
    EXPECT_EQ(token_login(idx, softhsm::kUserPin, &left), QR_OK) << "the user PIN is unchanged";
}

TEST_F(LibraryOnTokenKindsTest, ATokenWithoutLoginIsReadAndWrittenWithoutOne) {
    const int32_t idx = start("no_login = 1\n");
    EXPECT_EQ(flagsOf(idx), QUILLARD_TOKEN_NO_LOGIN);
    EXPECT_EQ(softhsm::containers(idx), std::vector<std::string>{"kept"});
}

TEST_F(LibraryOnTokenKindsTest, ATokenPulledOutDuringASlowReadIsReportedRemoved) {
    const int32_t idx = start("delay_ms = 50\ndelayed = C_FindObjects\nvanish_during = C_FindObjects\n");
    int32_t left = 0;
    ASSERT_EQ(token_login(idx, softhsm::kUserPin, &left), QR_OK);
    // The objects are read when the containers are listed: the token goes during that read.
    ASSERT_EQ(token_reload_all_objects(idx), QR_OK);
    char names[4096];
    int32_t length = sizeof names;
    EXPECT_EQ(container_load_all(idx, names, &length), QR_DEVICE_REMOVED);
    EXPECT_EQ(softhsm::findKeys(), 0);
}

} // namespace
