// Memory accounting, the out-of-space code and the disk area of the virtual keys.
#include "softkey_fixture.h"

#include "token/lib/softkey/aes_gcm.h"
#include "token/lib/softkey/key_database.h"

namespace {

using quillard::softkey::AesGcm;
using quillard::softkey::KeyDatabase;

class SoftkeyStorageTest : public SoftkeyTest {
protected:
    int32_t loggedInKey(const std::string& serial, int64_t memory) {
        quillard::VirtualKeySettings settings = initialisedKey(serial);
        settings.totalMemory = memory;
        create(settings);
        int32_t idx = indexOf(serial);
        EXPECT_EQ(loginUser(idx), QR_OK);
        return idx;
    }

    static int64_t storedSize(const quillard::Credential& credential) {
        int64_t size = 2 * KeyDatabase::kObjectOverhead +
                       static_cast<int64_t>(credential.certificateDer.size()) +
                       static_cast<int64_t>(credential.publicKey.publicKeyDer.size());
        if (!credential.privateKeyDer.empty())
            size += KeyDatabase::kObjectOverhead +
                    static_cast<int64_t>(credential.privateKeyDer.size() + AesGcm::kOverhead);
        return size;
    }
};

TEST_F(SoftkeyStorageTest, FreeMemoryFollowsEveryObject) {
    int32_t idx = loggedInKey("MEM1", 8192);
    EXPECT_EQ(info(idx).totalMemory, 8192);
    EXPECT_EQ(info(idx).freeMemory, 8192);
    ASSERT_EQ(driver.createContainer(idx, "Box"), QR_OK);
    const int64_t afterContainer = 8192 - KeyDatabase::kContainerOverhead - 3;
    EXPECT_EQ(info(idx).freeMemory, afterContainer);

    ASSERT_EQ(driver.importCredential(idx, "Box", 1, ecCredential()), QR_OK);
    EXPECT_EQ(info(idx).freeMemory, afterContainer - storedSize(ecCredential()));
    ASSERT_EQ(driver.importCredential(idx, "Box", 2, withoutPrivateKey(otherEcCredential())), QR_OK);
    EXPECT_EQ(info(idx).freeMemory, afterContainer - storedSize(ecCredential()) -
                                        storedSize(withoutPrivateKey(otherEcCredential())));

    ASSERT_EQ(driver.deleteCertificate(idx, "Box", 1), QR_OK);
    EXPECT_EQ(info(idx).freeMemory, afterContainer - storedSize(ecCredential()) -
                                        storedSize(withoutPrivateKey(otherEcCredential())) +
                                        KeyDatabase::kObjectOverhead +
                                        static_cast<int64_t>(ecCredential().certificateDer.size()));
    ASSERT_EQ(driver.deleteContainer(idx, "Box"), QR_OK);
    EXPECT_EQ(info(idx).freeMemory, 8192);
}

TEST_F(SoftkeyStorageTest, ImportWithoutRoomKeepsNothing) {
    int32_t idx = loggedInKey("MEM2", 2048);
    ASSERT_EQ(driver.createContainer(idx, "Box"), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "Box", 1, ecCredential()), QR_OK);
    int32_t freeBefore = info(idx).freeMemory;

    // An RSA 2048 credential needs well over 2 KiB.
    EXPECT_EQ(driver.importCredential(idx, "Box", 2, rsaCredential()), 0x0A000030);
    EXPECT_EQ(info(idx).freeMemory, freeBefore);
    std::vector<uint8_t> der;
    EXPECT_EQ(driver.getCertificate(idx, "Box", 2, der), QR_OBJECT_HANDLE_INVALID);
    quillard::KeyDescription key;
    EXPECT_EQ(driver.getPublicKey(idx, "Box", 2, key), QR_OBJECT_HANDLE_INVALID);
    EXPECT_EQ(driver.getPrivateKey(idx, "Box", 2, key), QR_OBJECT_HANDLE_INVALID);

    // A replacement that does not fit leaves the previous pair in place.
    EXPECT_EQ(driver.importCredential(idx, "Box", 1, rsaCredential()), QR_OUT_OF_SPACE);
    ASSERT_EQ(driver.getCertificate(idx, "Box", 1, der), QR_OK);
    EXPECT_EQ(der, ecCredential().certificateDer);
    ASSERT_EQ(driver.getPrivateKey(idx, "Box", 1, key), QR_OK);
    EXPECT_EQ(key.algorithm, quillard::AlgorithmEcc);
}

TEST_F(SoftkeyStorageTest, ContainerWithoutRoomIsNotCreated) {
    int32_t idx = loggedInKey("MEM3", 100);
    ASSERT_EQ(driver.createContainer(idx, "One"), QR_OK);
    EXPECT_EQ(driver.createContainer(idx, "Two"), QR_OUT_OF_SPACE);
    std::vector<std::string> names;
    ASSERT_EQ(driver.listContainers(idx, names), QR_OK);
    EXPECT_EQ(names, std::vector<std::string>{"One"});
}

TEST_F(SoftkeyStorageTest, SectorsAreWrittenInPlaceWithinTheDiskArea) {
    int32_t idx = createInitialised("DISK");
    std::vector<uint8_t> data(65536 + 2048);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + 1);

    EXPECT_EQ(driver.writeSectors(idx, 0, 1, data.data()), QR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(loginUser(idx), QR_OK);
    EXPECT_EQ(driver.writeSectors(idx, 0, 33, data.data()), QR_DATA_LEN_RANGE);
    EXPECT_EQ(driver.writeSectors(idx, 63, 2, data.data()), QR_ARGUMENTS_BAD);
    EXPECT_EQ(driver.writeSectors(idx, 0xFFFFFFFFu, 2, data.data()), QR_ARGUMENTS_BAD);
    EXPECT_EQ(driver.writeSectors(idx, 64, 1, data.data()), QR_ARGUMENTS_BAD);
    ASSERT_EQ(driver.writeSectors(idx, 10, 32, data.data()), QR_OK);
    ASSERT_EQ(driver.writeSectors(idx, 63, 1, data.data() + 65536), QR_OK);

    std::vector<uint8_t> image = fileBytes(world.keysFolder() / "DISK.img");
    ASSERT_EQ(image.size(), 64u * 2048);
    EXPECT_TRUE(std::all_of(image.begin(), image.begin() + 10 * 2048, [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 65536, image.begin() + 10 * 2048));
    EXPECT_TRUE(
        std::all_of(image.begin() + 42 * 2048, image.begin() + 63 * 2048, [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(data.begin() + 65536, data.end(), image.begin() + 63 * 2048));
}

} // namespace
