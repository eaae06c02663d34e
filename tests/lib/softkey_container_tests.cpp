// Containers, certificates and keys on the virtual keys.
#include "softkey_fixture.h"

#include "token/lib/softkey/key_database.h"

namespace {

class SoftkeyContainerTest : public SoftkeyTest {
protected:
    void SetUp() override {
        idx = createInitialised("CONT");
        ASSERT_EQ(loginUser(idx), QR_OK);
    }

    int32_t idx = -1;
};

TEST_F(SoftkeyContainerTest, NamesAreKeptAsBytesInCreationOrder) {
    const std::string latin1 = "Caf\xE9 \xFF";
    for (const std::string& name : {std::string("zeta"), latin1, std::string("alpha")})
        ASSERT_EQ(driver.createContainer(idx, name), QR_OK);
    EXPECT_EQ(driver.createContainer(idx, "zeta"), QR_CONTAINER_EXISTS);
    EXPECT_EQ(driver.createContainer(idx, "Zeta"), QR_OK);
    EXPECT_EQ(driver.createContainer(idx, ""), QR_ARGUMENTS_BAD);
    EXPECT_EQ(driver.createContainer(idx, std::string("a\0b", 3)), QR_ARGUMENTS_BAD);
    EXPECT_EQ(driver.createContainer(idx, std::string(256, 'n')), QR_ARGUMENTS_BAD);
    ASSERT_EQ(driver.deleteContainer(idx, "zeta"), QR_OK);
    ASSERT_EQ(driver.createContainer(idx, "zeta"), QR_OK);

    std::vector<std::string> names;
    ASSERT_EQ(driver.listContainers(idx, names), QR_OK);
    EXPECT_EQ(names, (std::vector<std::string>{latin1, "alpha", "Zeta", "zeta"}));
    EXPECT_EQ(driver.deleteContainer(idx, "missing"), QR_CONTAINER_NOT_FOUND);
}

TEST_F(SoftkeyContainerTest, CertificatesAndKeysReadBackPerSpecification) {
    ASSERT_EQ(driver.createContainer(idx, "Pair"), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "Pair", 1, rsaCredential()), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "Pair", 2, ecCredential()), QR_OK);
    ASSERT_EQ(driver.logout(idx), QR_OK);

    // Certificates and public keys are readable logged out.
    std::vector<uint8_t> der;
    ASSERT_EQ(driver.getCertificate(idx, "Pair", 1, der), QR_OK);
    EXPECT_EQ(der, rsaCredential().certificateDer);
    quillard::KeyDescription key;
    ASSERT_EQ(driver.getPublicKey(idx, "Pair", 1, key), QR_OK);
    EXPECT_EQ(key.algorithm, quillard::AlgorithmRsa);
    EXPECT_EQ(key.bits, 2048);
    EXPECT_EQ(key.publicKeyDer, rsaCredential().publicKey.publicKeyDer);
    ASSERT_EQ(driver.getPublicKey(idx, "Pair", 2, key), QR_OK);
    EXPECT_EQ(key.algorithm, quillard::AlgorithmEcc);
    EXPECT_EQ(key.bits, 256);
    // Private keys need the login.
    EXPECT_EQ(driver.getPrivateKey(idx, "Pair", 1, key), QR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(loginUser(idx), QR_OK);
    quillard::KeyDescription privateKey;
    ASSERT_EQ(driver.getPrivateKey(idx, "Pair", 1, privateKey), QR_OK);
    EXPECT_EQ(privateKey.algorithm, quillard::AlgorithmRsa);
    EXPECT_EQ(privateKey.bits, 2048);
    EXPECT_TRUE(privateKey.publicKeyDer.empty());

    EXPECT_EQ(driver.getCertificate(idx, "Pair", 3, der), QR_ARGUMENTS_BAD);
    EXPECT_EQ(driver.getCertificate(idx, "None", 1, der), QR_CONTAINER_NOT_FOUND);
    EXPECT_EQ(driver.importCredential(idx, "", 1, ecCredential()), QR_ARGUMENTS_BAD)
        << "no container of that name";
    EXPECT_EQ(driver.importCredential(idx, "Pair", 0, ecCredential()), QR_ARGUMENTS_BAD);
}

TEST_F(SoftkeyContainerTest, DeletingACertificateLeavesTheOtherSpecificationAndTheKeys) {
    ASSERT_EQ(driver.createContainer(idx, "Pair"), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "Pair", 1, ecCredential()), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "Pair", 2, otherEcCredential()), QR_OK);
    ASSERT_EQ(driver.deleteCertificate(idx, "Pair", 1), QR_OK);
    EXPECT_EQ(driver.deleteCertificate(idx, "Pair", 1), QR_OBJECT_HANDLE_INVALID);

    std::vector<uint8_t> der;
    EXPECT_EQ(driver.getCertificate(idx, "Pair", 1, der), QR_OBJECT_HANDLE_INVALID);
    ASSERT_EQ(driver.getCertificate(idx, "Pair", 2, der), QR_OK);
    EXPECT_EQ(der, otherEcCredential().certificateDer);
    quillard::KeyDescription key;
    EXPECT_EQ(driver.getPublicKey(idx, "Pair", 1, key), QR_OK);
    EXPECT_EQ(driver.getPrivateKey(idx, "Pair", 1, key), QR_OK);

    ASSERT_EQ(driver.logout(idx), QR_OK);
    EXPECT_EQ(driver.deleteCertificate(idx, "Pair", 2), QR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(driver.deleteContainer(idx, "Pair"), QR_USER_NOT_LOGGED_IN);
}

TEST_F(SoftkeyContainerTest, CertificateOnlyImportKeepsOnlyAMatchingPrivateKey) {
    ASSERT_EQ(driver.createContainer(idx, "Pair"), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "Pair", 1, ecCredential()), QR_OK);
    quillard::KeyDescription key;
    // The same key's certificate again, without its private key: the private key stays.
    ASSERT_EQ(driver.importCredential(idx, "Pair", 1, withoutPrivateKey(ecCredential())), QR_OK);
    EXPECT_EQ(driver.getPrivateKey(idx, "Pair", 1, key), QR_OK);
    // Another key's certificate: the old private key would not belong to it and goes.
    ASSERT_EQ(driver.importCredential(idx, "Pair", 1, withoutPrivateKey(otherEcCredential())), QR_OK);
    EXPECT_EQ(driver.getPrivateKey(idx, "Pair", 1, key), QR_OBJECT_HANDLE_INVALID);
}

TEST_F(SoftkeyContainerTest, MismatchedOrBrokenCredentialsAreRefused) {
    ASSERT_EQ(driver.createContainer(idx, "Pair"), QR_OK);
    quillard::Credential mixed = ecCredential();
    mixed.privateKeyDer = otherEcCredential().privateKeyDer;
    EXPECT_EQ(driver.importCredential(idx, "Pair", 1, mixed), QR_ARGUMENTS_BAD);

    quillard::Credential broken = ecCredential();
    broken.publicKey.publicKeyDer.resize(10);
    EXPECT_EQ(driver.importCredential(idx, "Pair", 1, broken), QR_ARGUMENTS_BAD);
    quillard::Credential noCertificate = ecCredential();
    noCertificate.certificateDer.clear();
    EXPECT_EQ(driver.importCredential(idx, "Pair", 1, noCertificate), QR_ARGUMENTS_BAD);

    std::vector<uint8_t> der;
    EXPECT_EQ(driver.getCertificate(idx, "Pair", 1, der), QR_OBJECT_HANDLE_INVALID);
    EXPECT_EQ(info(idx).freeMemory, 8192 - 64 - 4);
}

TEST_F(SoftkeyContainerTest, ASealedPrivateKeyMovedToAnotherPlaceDoesNotOpen) {
    ASSERT_EQ(driver.createContainer(idx, "A"), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "A", 1, ecCredential()), QR_OK);
    ASSERT_EQ(driver.logout(idx), QR_OK);
    {
        // Someone with the file copies the sealed key of spec 1 to spec 2.
        auto database = quillard::softkey::KeyDatabase::openExisting(world.keysFolder() / "CONT.db");
        auto transaction = database.beginWrite();
        int64_t container = *database.findContainer("A");
        using quillard::softkey::ObjectKind;
        for (ObjectKind kind : {ObjectKind::Certificate, ObjectKind::PublicKey, ObjectKind::PrivateKey})
            database.saveObject(container, 2, kind, *database.object(container, 1, kind));
        transaction.commit();
    }
    ASSERT_EQ(loginUser(idx), QR_OK);
    quillard::KeyDescription key;
    EXPECT_EQ(driver.getPrivateKey(idx, "A", 1, key), QR_OK);
    EXPECT_EQ(driver.getPrivateKey(idx, "A", 2, key), QR_DEVICE_ERROR);
}

} // namespace

namespace {

class SoftkeyContainerLimitTest : public SoftkeyTest {};

TEST_F(SoftkeyContainerLimitTest, AKeyHoldsAsManyContainersAsItsReadersShowAndImportsMakeThemInOneStep) {
    quillard::VirtualKeySettings settings = initialisedKey("LIMIT");
    settings.totalMemory = 64 * 1024;
    create(settings);
    const int32_t idx = indexOf("LIMIT");
    ASSERT_EQ(loginUser(idx), QR_OK);
    // An import into a container that is not there makes it, with what it stores.
    ASSERT_EQ(driver.importCredential(idx, "made by import", 2, ecCredential()), QR_OK);
    std::vector<uint8_t> der;
    EXPECT_EQ(driver.getCertificate(idx, "made by import", 2, der), QR_OK);
    EXPECT_EQ(der, ecCredential().certificateDer);
    EXPECT_EQ(driver.importCredential(idx, "certificate only", 2, withoutPrivateKey(rsaCredential())), QR_OK);
    // One that fails leaves no container behind.
    EXPECT_EQ(driver.importCredential(idx, "mismatch", 1,
                                      [] {
                                          quillard::Credential mixed = rsaCredential();
                                          mixed.privateKeyDer = ecCredential().privateKeyDer;
                                          return mixed;
                                      }()),
              QR_ARGUMENTS_BAD);
    std::vector<std::string> names;
    ASSERT_EQ(driver.listContainers(idx, names), QR_OK);
    EXPECT_EQ(names, (std::vector<std::string>{"made by import", "certificate only"}));

    for (std::size_t made = names.size(); made < quillard::kMostContainers; ++made)
        ASSERT_EQ(driver.createContainer(idx, "c" + std::to_string(made)), QR_OK) << made;
    EXPECT_EQ(driver.createContainer(idx, "one too many"), QR_CONTAINER_LIMIT);
    EXPECT_EQ(driver.importCredential(idx, "one too many", 2, ecCredential()), QR_CONTAINER_LIMIT);
    quillard::KeyDescription generated;
    EXPECT_EQ(driver.storeKeyPair(idx, "one too many", 2, ecCredential().privateKeyDer, generated),
              QR_CONTAINER_LIMIT);
    ASSERT_EQ(driver.listContainers(idx, names), QR_OK);
    EXPECT_EQ(names.size(), quillard::kMostContainers);
    // Into a container that is there, an import still goes.
    EXPECT_EQ(driver.importCredential(idx, "c10", 2, ecCredential()), QR_OK);
}

} // namespace
