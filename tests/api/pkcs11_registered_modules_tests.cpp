// The maker's module name: the virtual keys and every module p11-kit registers (here SoftHSM2 with its own
// token folder and OpenSC without a reader), one list, virtual keys first, indices stable; and the choice of
// modules through QUILLARD_PKCS11_MODULES.
#include "tests/common/softhsm_token.h"
#include "tests/common/temp_world.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/virtual_key_manager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

constexpr const char* kMakerModule = "zarto_pkcs11.dll";

class RegisteredModulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!softhsm::registeredWithP11Kit())
            GTEST_SKIP() << "SoftHSM2 is not registered with p11-kit";
    }
    void TearDown() override {
        uninit_pkcs11();
        quillard_start_modules_in_background(0);
        unsetenv("QUILLARD_PKCS11_MODULES");
    }

    void createVirtualKey(const std::string& serial) {
        quillard::VirtualKeySettings settings;
        settings.serial = serial;
        settings.label = "Virtual " + serial;
        settings.userPin = softhsm::kUserPin;
        settings.soPin = softhsm::kSoPin;
        settings.initialised = true;
        settings.kdfIterations = 16;
        std::string made, detail;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, made, &detail), QR_OK) << detail;
    }

    std::vector<std::string> labels() {
        std::vector<std::string> found;
        for (int32_t idx = 0, count = softhsm::findKeys(); idx < count; ++idx)
            found.push_back(softhsm::keyFacts(idx).label);
        return found;
    }

    int32_t changed() {
        int32_t value = -1;
        EXPECT_EQ(quillard_tokens_changed(&value), QR_OK);
        return value;
    }

    TempWorld world;
};

} // namespace

TEST_F(RegisteredModulesTest, VirtualKeysComeFirstThenTheTokensWithoutTheSpareSlot) {
    createVirtualKey("VK0001");
    ASSERT_TRUE(softhsm::initToken("First token"));
    ASSERT_TRUE(softhsm::initToken("Second token"));
    ASSERT_EQ(init_pkcs11(kMakerModule), QR_OK);
    const std::vector<std::string> both = labels();
    ASSERT_EQ(both.size(), 3u);
    EXPECT_EQ(both[0], "Virtual VK0001");
    EXPECT_EQ(changed(), 0);
    EXPECT_EQ(labels(), both) << "the same keys keep their places";
    createVirtualKey("VK0000");
    EXPECT_EQ(labels(), (std::vector<std::string>{"Virtual VK0000", "Virtual VK0001", both[1], both[2]}));

    // A token that goes is noticed without a scan; what stays keeps its order. (SoftHSM2 sees tokens other
    // processes make only when it starts, so arrivals are tested with the driver set's own tests.)
    ASSERT_EQ(softhsm::run("softhsm2-util --delete-token --token " + softhsm::quoted(both[1])), 0);
    EXPECT_EQ(changed(), 1);
    EXPECT_EQ(labels(), (std::vector<std::string>{"Virtual VK0000", "Virtual VK0001", both[2]}));
    EXPECT_EQ(changed(), 0);
    int32_t left = 0;
    EXPECT_EQ(token_login(2, softhsm::kUserPin, &left), QR_OK);
}

TEST_F(RegisteredModulesTest, ModulesStartedInTheBackgroundJoinTheListOnceStarted) {
    createVirtualKey("VK0001");
    ASSERT_TRUE(softhsm::initToken("Later token"));
    ASSERT_EQ(quillard_start_modules_in_background(1), QR_OK);
    ASSERT_EQ(init_pkcs11(kMakerModule), QR_OK);
    // The virtual keys are listed at once; the token once its module has started. The poll waits for that
    // and tells a token that was not listed yet.
    const std::vector<std::string> first = labels();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], "Virtual VK0001");
    const bool listedAlready = first.size() == 2;
    EXPECT_EQ(changed(), listedAlready ? 0 : 1);
    EXPECT_EQ(labels(), (std::vector<std::string>{"Virtual VK0001", "Later token"}));
    EXPECT_EQ(changed(), 0);
    int32_t left = 0;
    EXPECT_EQ(token_login(1, softhsm::kUserPin, &left), QR_OK);

    // Shut down while the modules may still be starting: nothing is left behind for the next start.
    uninit_pkcs11();
    ASSERT_EQ(init_pkcs11(kMakerModule), QR_OK);
    uninit_pkcs11();
    ASSERT_EQ(quillard_start_modules_in_background(0), QR_OK);
    ASSERT_EQ(init_pkcs11(kMakerModule), QR_OK);
    EXPECT_EQ(labels(), (std::vector<std::string>{"Virtual VK0001", "Later token"}))
        << "started before init returned";
}

TEST_F(RegisteredModulesTest, TheEnvironmentChoosesTheModulesInsteadOfP11Kit) {
    createVirtualKey("VK0001");
    ASSERT_TRUE(softhsm::initToken("Token"));
    setenv("QUILLARD_PKCS11_MODULES", "", 1);
    ASSERT_EQ(init_pkcs11(kMakerModule), QR_OK);
    EXPECT_EQ(labels(), std::vector<std::string>{"Virtual VK0001"});
    uninit_pkcs11();
    setenv("QUILLARD_PKCS11_MODULES", ("/no/such/module.so:" + softhsm::modulePath()).c_str(), 1);
    ASSERT_EQ(init_pkcs11(kMakerModule), QR_OK);
    EXPECT_EQ(labels(), (std::vector<std::string>{"Virtual VK0001", "Token"}));
}

TEST_F(RegisteredModulesTest, OpenScLoadsWithoutAReaderAndListsNothing) {
    ASSERT_EQ(init_pkcs11("opensc-pkcs11.so"), QR_OK) << "a bare name is found in p11-kit's module folder";
    int32_t list[32], count = 32;
    EXPECT_EQ(token_find(list, &count), QR_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(changed(), 0);
    uninit_pkcs11();
    EXPECT_EQ(init_pkcs11("opensc-pkcs11.dll"), QR_OK) << "another extension stands for the system's";
}
