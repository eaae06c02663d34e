// A key pair generation killed at each of its database steps on a virtual key: the key is left with the whole
// pair in its new container, or with nothing of it.
#include "tests/common/sqlite_write_faults.h"
#include "tests/common/temp_world.h"
#include "token/lib/paths.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/softkey_driver.h"
#include "token/lib/softkey/virtual_key_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kUserPin = "1234";
constexpr const char* kContainer = "Generated";

class GenerationCrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        quillard::VirtualKeySettings settings;
        settings.serial = "KILLGEN1";
        settings.label = "Kill";
        settings.userPolicy = {4, 8, 3};
        settings.soPolicy = {6, 10, 2};
        settings.userPin = kUserPin;
        settings.soPin = "87654321";
        settings.totalMemory = 16384;
        settings.diskBytes = 16 * 2048;
        settings.kdfIterations = 16;
        std::string made, detail;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, made, &detail), QR_OK) << detail;
    }

    // The generation of an EC P-256 pair into a new container, in a child ended before its `stopAt`-th step.
    static sqlite_faults::ChildRun generateInChild(int stopAt) {
        return sqlite_faults::runInChild(stopAt, [] {
            int32_t keys[32] = {};
            int32_t count = 32, left = 0;
            if (init_pkcs11("zarto_pkcs11.dll") != QR_OK || token_find(keys, &count) != QR_OK || count != 1 ||
                token_login(0, kUserPin, &left) != QR_OK)
                return;
            container_generate_keypair(0, kContainer, 2, 3, 256);
        });
    }

    enum class Found { Nothing, WholePair, Part };

    // What the key holds, read through a driver closed again before the next child starts.
    static Found found() {
        quillard::SoftkeyDriver driver(quillard::keysFolder());
        std::vector<std::string> serials, names;
        int32_t left = 0;
        EXPECT_EQ(driver.find(serials), QR_OK);
        EXPECT_EQ(driver.login(0, quillard::PinKind::User, kUserPin, left), QR_OK);
        EXPECT_EQ(driver.listContainers(0, names), QR_OK);
        if (names.empty())
            return Found::Nothing;
        quillard::KeyDescription publicKey, privateKey;
        const bool whole = names == std::vector<std::string>{kContainer} &&
                           driver.getPublicKey(0, kContainer, 2, publicKey) == QR_OK &&
                           driver.getPrivateKey(0, kContainer, 2, privateKey) == QR_OK &&
                           publicKey.bits == 256;
        return whole ? Found::WholePair : Found::Part;
    }

    TempWorld world;
};

TEST_F(GenerationCrashTest, AKilledGenerationLeavesTheWholePairOrNothing) {
    int kills = 0;
    for (int stopAt = 1;; ++stopAt) {
        const sqlite_faults::ChildRun run = generateInChild(stopAt);
        const Found after = found();
        if (!run.killed) {
            ASSERT_TRUE(run.finished);
            EXPECT_EQ(after, Found::WholePair);
            break;
        }
        ++kills;
        ASSERT_NE(after, Found::Part) << "killed before step " << stopAt;
        if (after == Found::WholePair)
            break; // committed: what follows cannot take it back
    }
    EXPECT_GT(kills, 3);
}

} // namespace
