// Registration in the system store makes the virtual-key module known to the user's NSS database, so NSS
// programs (certutil here, Chromium for users) list the key's certificates; unregistering takes it out.
#include "tests/common/temp_world.h"
#include "token/lib/nss_registration.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/softkey_driver.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/demo_credentials.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

class NssRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        quillard::VirtualKeySettings settings;
        settings.serial = "PZNSS0001";
        settings.label = "NSS key";
        settings.userPin = "12345678";
        settings.soPin = "87654321";
        settings.kdfIterations = 16;
        std::string serial;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, serial), QR_OK);
        quillard::SoftkeyDriver driver(world.keysFolder());
        std::vector<std::string> serials;
        ASSERT_EQ(driver.find(serials), QR_OK);
        int32_t retries = 0;
        ASSERT_EQ(driver.login(0, quillard::PinKind::User, settings.userPin, retries), QR_OK);
        ASSERT_EQ(driver.createContainer(0, "Registered"), QR_OK);
        credential = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "NSS user");
        ASSERT_EQ(driver.importCredential(0, "Registered", 1, credential), QR_OK);
    }

    int32_t registerCertificate() {
        return container_addcert_to_store("Registered", "CSP", 1, credential.certificateDer.data(),
                                          static_cast<int32_t>(credential.certificateDer.size()));
    }

    // What `certutil -L -h all` lists in the user's database.
    std::string certutilList() {
        std::string command = "certutil -L -h all -d sql:" + database().string() + " </dev/null 2>/dev/null";
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return output;
        std::array<char, 4096> buffer;
        for (std::size_t got; (got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
            output.append(buffer.data(), got);
        pclose(pipe);
        return output;
    }

    std::filesystem::path database() const { return world.home() / ".pki" / "nssdb"; }

    TempWorld world;
    quillard::Credential credential;
};

TEST_F(NssRegistrationTest, RegisteringListsTheKeysCertificatesInNssAndUnregisteringRemovesTheModule) {
    ASSERT_TRUE(quillard::NssRegistration::modulePath()) << "the module is built beside the library";
    ASSERT_EQ(registerCertificate(), QR_OK);
    struct stat folder {};
    ASSERT_EQ(stat(database().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_TRUE(quillard::NssRegistration(database()).isRegistered());
    std::string listed = certutilList();
    EXPECT_NE(listed.find("NSS key:Registered"), std::string::npos) << listed;

    // A second registration keeps one entry.
    ASSERT_EQ(registerCertificate(), QR_OK);
    std::ifstream modules(database() / "pkcs11.txt");
    std::string text((std::istreambuf_iterator<char>(modules)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("name=PellorZu virtual keys"), text.rfind("name=PellorZu virtual keys"));

    ASSERT_EQ(remove_all_certs_from_store("CSP"), QR_OK);
    EXPECT_FALSE(quillard::NssRegistration(database()).isRegistered());
    EXPECT_EQ(certutilList().find("NSS key:Registered"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(database() / "cert9.db")); // the user's database itself stays
}

TEST_F(NssRegistrationTest, WithoutModutilTheRegistrationSaysSo) {
    const std::string path = std::getenv("PATH");
    setenv("PATH", world.root().c_str(), 1);
    std::string detail;
    EXPECT_EQ(quillard::NssRegistration(database()).add(&detail), QR_MODULE_NOT_FOUND);
    EXPECT_NE(detail.find("libnss3-tools"), std::string::npos);
    EXPECT_EQ(registerCertificate(), QR_MODULE_NOT_FOUND);
    setenv("PATH", path.c_str(), 1);
    // The certificate itself went into the store; a later registration brings NSS up to date.
    EXPECT_EQ(registerCertificate(), QR_OK);
}

} // namespace
