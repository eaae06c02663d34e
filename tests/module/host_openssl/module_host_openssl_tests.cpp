// The module computes the same in a program whose own OpenSSL cannot compute anything: before any test, this
// program's default library context gets only OpenSSL's `null` provider (as a program's configuration or a
// default ENGINE can take the module's calls away from the default provider). Key pairs generated through
// the module, their public attributes, signatures and verification must all still work, and the module must
// leave the program's context as it found it.
#include "tests/module/module_fixture.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

namespace {

bool defaultContextCanDigest() {
    EVP_MD* digest = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    EVP_MD_free(digest);
    return digest != nullptr;
}

class ModuleHostOpenSslTest : public ModuleTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(defaultContextCanDigest()) << "the program's default context must be without algorithms";
        ModuleTest::SetUp();
        session = openSession();
        ASSERT_EQ(login(session, kUserPin), CKR_OK);
    }

    void generate(CK_MECHANISM_TYPE type, CK_ATTRIBUTE* publicTemplate, CK_ULONG publicCount,
                  const std::string& label, CK_OBJECT_HANDLE& publicKey, CK_OBJECT_HANDLE& privateKey) {
        CK_MECHANISM mechanism{type, nullptr, 0};
        CK_BBOOL yes = CK_TRUE;
        CK_ATTRIBUTE privateTemplate[] = {{CKA_LABEL, const_cast<char*>(label.data()), label.size()},
                                          {CKA_SIGN, &yes, sizeof yes}};
        ASSERT_EQ(p11->C_GenerateKeyPair(session, &mechanism, publicTemplate, publicCount, privateTemplate, 2,
                                         &publicKey, &privateKey),
                  CKR_OK);
    }

    CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
    std::vector<uint8_t> data{'t', 'o', ' ', 'b', 'e', ' ', 's', 'i', 'g', 'n', 'e', 'd'};
};

TEST_F(ModuleHostOpenSslTest, GeneratedEcPairShowsItsPointAndSigns) {
    CK_BYTE p256[] = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};
    CK_ATTRIBUTE publicTemplate[] = {{CKA_EC_PARAMS, p256, sizeof p256}};
    CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
    generate(CKM_EC_KEY_PAIR_GEN, publicTemplate, 1, "NewKeyEC", publicKey, privateKey);
    // An uncompressed P-256 point in a DER OCTET STRING: 04 41 04 x y.
    std::vector<uint8_t> point = attribute(session, publicKey, CKA_EC_POINT);
    ASSERT_EQ(point.size(), 67u);
    EXPECT_EQ(point[0], 0x04);
    EXPECT_EQ(point[2], 0x04);
    CK_MECHANISM ecdsa{CKM_ECDSA_SHA256, nullptr, 0};
    std::vector<uint8_t> signature = sign(session, privateKey, ecdsa, data);
    ASSERT_EQ(signature.size(), 64u);
    EXPECT_EQ(verify(session, publicKey, ecdsa, data, signature), CKR_OK);
    EXPECT_FALSE(defaultContextCanDigest());
}

TEST_F(ModuleHostOpenSslTest, GeneratedRsaPairAndStoredKeysSign) {
    CK_ULONG bits = 2048;
    CK_ATTRIBUTE publicTemplate[] = {{CKA_MODULUS_BITS, &bits, sizeof bits}};
    CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
    generate(CKM_RSA_PKCS_KEY_PAIR_GEN, publicTemplate, 1, "NewKeyRSA", publicKey, privateKey);
    EXPECT_EQ(attribute(session, publicKey, CKA_MODULUS).size(), 256u);
    CK_MECHANISM pkcs{CKM_SHA256_RSA_PKCS, nullptr, 0};
    EXPECT_EQ(verify(session, publicKey, pkcs, data, sign(session, privateKey, pkcs, data)), CKR_OK);

    // The keys imported beside their certificates (by the window's side of this process) sign as well.
    CK_MECHANISM ecdsa{CKM_ECDSA_SHA256, nullptr, 0};
    const CK_OBJECT_HANDLE stored = findOne(session, CKO_PRIVATE_KEY, "Test-EC");
    const CK_OBJECT_HANDLE storedPublic = findOne(session, CKO_PUBLIC_KEY, "Test-EC");
    EXPECT_EQ(attribute(session, storedPublic, CKA_EC_POINT).size(), 67u);
    EXPECT_EQ(verify(session, storedPublic, ecdsa, data, sign(session, stored, ecdsa, data)), CKR_OK);
    EXPECT_FALSE(defaultContextCanDigest());
}

} // namespace

int main(int argc, char** argv) {
    // Before anything else of OpenSSL runs: no configuration file, and the `null` provider alone in the
    // default context, which stops OpenSSL from loading its default provider there by itself.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
    if (!OSSL_PROVIDER_load(nullptr, "null"))
        return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
