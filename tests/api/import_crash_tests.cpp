// A certificate import killed at each of its database steps, as the window and the command line run it
// (the shared import flow over the library): the key is left with the whole import or with nothing of it.
#include "tests/common/sqlite_write_faults.h"
#include "tests/common/temp_world.h"
#include "token/flows/certificate_import.h"
#include "token/lib/paths.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/softkey_driver.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/demo_credentials.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kUserPin = "1234";
constexpr const char* kPassword = "pw";
constexpr const char* kContainer = "New container";

class ImportCrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        quillard::VirtualKeySettings settings;
        settings.serial = "KILL1";
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
        credential =
            quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Killed import");
        std::string error;
        ASSERT_TRUE(quillard::demo::writePkcs12File(pkcs12, credential, kPassword, false, &error)) << error;
    }

    // The import into a new container, in a child process ended before its `stopAt`-th step.
    sqlite_faults::ChildRun importInChild(int stopAt) const {
        const std::string path = pkcs12.string();
        return sqlite_faults::runInChild(stopAt, [path] {
            int32_t keys[32] = {};
            int32_t count = 32, left = 0, entries = 0;
            if (init_pkcs11("zarto_pkcs11.dll") != QR_OK || token_find(keys, &count) != QR_OK || count != 1 ||
                token_login(0, kUserPin, &left) != QR_OK ||
                pkcs12_file_parse(path.c_str(), kPassword, &entries) != QR_OK) {
                return;
            }
            token::flows::CertificateImport job;
            job.kind = token::flows::ImportKind::Pkcs12;
            job.spec = 1;
            job.container = kContainer;
            job.createContainer = true;
            token::flows::importCertificate(job, [](int32_t, int32_t) {});
        });
    }

    enum class Found { Nothing, WholeImport, Part };

    // What the key holds, read through a driver closed again before the next child starts. Its login gives
    // back the try a login killed half-way has spent.
    Found found() const {
        quillard::SoftkeyDriver driver(quillard::keysFolder());
        std::vector<std::string> serials, names;
        int32_t left = 0;
        EXPECT_EQ(driver.find(serials), QR_OK);
        EXPECT_EQ(driver.login(0, quillard::PinKind::User, kUserPin, left), QR_OK);
        EXPECT_EQ(driver.listContainers(0, names), QR_OK);
        if (names.empty())
            return Found::Nothing;
        std::vector<uint8_t> certificate;
        quillard::KeyDescription publicKey, privateKey;
        const bool whole = names == std::vector<std::string>{kContainer} &&
                           driver.getCertificate(0, kContainer, 1, certificate) == QR_OK &&
                           certificate == credential.certificateDer &&
                           driver.getPublicKey(0, kContainer, 1, publicKey) == QR_OK &&
                           driver.getPrivateKey(0, kContainer, 1, privateKey) == QR_OK;
        return whole ? Found::WholeImport : Found::Part;
    }

    TempWorld world;
    std::filesystem::path pkcs12 = world.root() / "killed.p12";
    quillard::Credential credential;
};

TEST_F(ImportCrashTest, AKilledImportLeavesAllOrNothing) {
    int kills = 0;
    for (int stopAt = 1;; ++stopAt) {
        const sqlite_faults::ChildRun run = importInChild(stopAt);
        const Found after = found();
        if (!run.killed) {
            ASSERT_TRUE(run.finished);
            EXPECT_EQ(after, Found::WholeImport);
            break;
        }
        ++kills;
        ASSERT_NE(after, Found::Part) << "killed before step " << stopAt;
        if (after == Found::WholeImport)
            break; // committed: what follows cannot take it back
    }
    EXPECT_GT(kills, 3);
}

} // namespace
