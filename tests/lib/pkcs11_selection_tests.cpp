// The pure parts of the PKCS#11 driver: which modules hold keys, where a bare module name is found, how
// token text fields are read, which CKR_ value becomes which result, and public keys built from attributes.
#include "tests/common/temp_world.h"
#include "token/lib/key_description.h"
#include "token/lib/pkcs11/ckr_names.h"
#include "token/lib/pkcs11/module_selection.h"
#include "token/lib/pkcs11/pkcs11_call.h"
#include "token/lib/pkcs11/public_key_info.h"
#include "token/lib/pkcs11/token_text.h"
#include "token/lib/quillard_errors.h"
#include "tools/demo_credentials.h"

#include <gtest/gtest.h>

#include <openssl/core_names.h>

#include <cstring>

using namespace quillard::pkcs11;

TEST(ModuleSelection, TrustAnchorsAndTheVirtualKeyModuleHoldNoKeysForTheTool) {
    EXPECT_TRUE(holdsKeys({"softhsm2", false, "SoftHSM", "Implementation of PKCS11"}));
    EXPECT_TRUE(holdsKeys({"opensc-pkcs11", false, "OpenSC Project", "OpenSC smartcard framework"}));
    EXPECT_FALSE(holdsKeys({"p11-kit-trust", true, "PKCS#11 Kit", "PKCS#11 Kit Trust Module"}));
    EXPECT_FALSE(holdsKeys({"pellorzu", false, "Norvale", "PellorZu virtual keys"}));
    EXPECT_FALSE(holdsKeys({"pellorzu", false, "Norvale", "PellorZu virtual keys 1.0"}));
    EXPECT_TRUE(holdsKeys({"norvale-hsm", false, "Norvale", "Another module"}));
    EXPECT_TRUE(holdsKeys({"x", false, "Norvale Ltd", "PellorZu virtual keys"}));
}

TEST(ModuleSelection, ModuleListFromTheEnvironment) {
    unsetenv("QUILLARD_PKCS11_MODULES");
    EXPECT_FALSE(moduleFilesFromEnvironment());
    setenv("QUILLARD_PKCS11_MODULES", "", 1);
    EXPECT_EQ(moduleFilesFromEnvironment(), std::vector<std::string>{});
    setenv("QUILLARD_PKCS11_MODULES", "/a/one.so::/b/two.so", 1);
    EXPECT_EQ(moduleFilesFromEnvironment(), (std::vector<std::string>{"/a/one.so", "/b/two.so"}));
    unsetenv("QUILLARD_PKCS11_MODULES");
}

TEST(ModuleSelection, BareNamesAreLookedUpInOrderAndOtherExtensionsStandForTheSharedObject) {
    TempWorld world;
    const auto first = world.root() / "first", second = world.root() / "second";
    ASSERT_TRUE(writeTestFile(second / "vendor.so", "x"));
    ASSERT_TRUE(writeTestFile(second / "both.so", "x"));
    ASSERT_TRUE(writeTestFile(first / "both.so", "x"));
    const std::vector<std::filesystem::path> folders{first, second};
    EXPECT_EQ(findModuleFile("vendor.so", folders), second / "vendor.so");
    EXPECT_EQ(findModuleFile("vendor.dll", folders), second / "vendor.so");
    EXPECT_EQ(findModuleFile("vendor", folders), second / "vendor.so");
    EXPECT_EQ(findModuleFile("both.so", folders), first / "both.so");
    EXPECT_FALSE(findModuleFile("missing.so", folders));
    EXPECT_EQ(findModuleFile((second / "vendor.so").string(), {}), second / "vendor.so");
    EXPECT_FALSE(findModuleFile((first / "vendor.so").string(), folders)) << "a path is taken as it is";
}

TEST(TokenText, PaddingGoesMalformedBytesAreMarkedAndCutsFallOnCharacterBoundaries) {
    auto read = [](const std::string& raw, std::size_t limit) {
        return paddedFieldText(reinterpret_cast<const unsigned char*>(raw.data()), raw.size(), limit);
    };
    EXPECT_EQ(read("Token label     ", 32), "Token label");
    EXPECT_EQ(read(std::string("abc\0def  ", 9), 32), "abc");
    EXPECT_EQ(read("\xff\xfeok  ", 32), "??ok");
    EXPECT_EQ(read("令牌令牌", 7), "令牌") << "no half character";
    EXPECT_EQ(read("ab\xe4\xbb", 32), "ab") << "a character cut off by the field";
    EXPECT_EQ(read("ab\xe4x", 32), "ab?x");
    EXPECT_EQ(read("        ", 32), "");
    // What is read reads back the same once written to a field again: no blank is left at the end by a
    // dropped character or a cut, control characters and bytes that start no character become '?'.
    EXPECT_EQ(read("ab \xe4\xbb", 32), "ab");
    EXPECT_EQ(read("ab c", 3), "ab");
    EXPECT_EQ(read("ab\x1b[31m\n", 32), "ab?[31m?");
    EXPECT_EQ(read("ab\xf5", 32), "ab?");
    EXPECT_EQ(read("ab\xff", 32), "ab?");
    for (const std::string raw : {"ab \xe4\xbb", "x\t \x7f ", "\xc2\x85 \xf8", "a \xf0\x9f\x98"}) {
        const std::string once = read(raw, 5);
        unsigned char field[8];
        ASSERT_TRUE(fillPaddedField(once, field, sizeof field));
        EXPECT_EQ(paddedFieldText(field, sizeof field, 5), once) << raw;
    }

    unsigned char field[8];
    EXPECT_TRUE(fillPaddedField("abc", field, sizeof field));
    EXPECT_EQ(std::memcmp(field, "abc     ", 8), 0);
    EXPECT_FALSE(fillPaddedField("123456789", field, sizeof field));
}

TEST(Pkcs11Results, FailuresNameModuleFunctionAndCodeAndMapToTheLibrarysCodes) {
    EXPECT_STREQ(ckrName(CKR_PIN_INCORRECT), "CKR_PIN_INCORRECT");
    EXPECT_STREQ(ckrName(0x8000ABCDul), "CKR_0x8000ABCD");
    EXPECT_STREQ(Pkcs11Failure("softhsm2", "C_Login", CKR_PIN_LOCKED).what(),
                 "softhsm2: C_Login failed with CKR_PIN_LOCKED");
    EXPECT_EQ(resultOf(CKR_DEVICE_MEMORY), QR_OUT_OF_SPACE);
    EXPECT_EQ(resultOf(CKR_TOKEN_NOT_PRESENT), QR_DEVICE_REMOVED);
    EXPECT_EQ(resultOf(CKR_SESSION_HANDLE_INVALID), QR_DEVICE_REMOVED);
    EXPECT_EQ(resultOf(CKR_PIN_LEN_RANGE), QR_PIN_LEN_RANGE);
    EXPECT_EQ(resultOf(0x80000001ul), QR_GENERAL_ERROR) << "a vendor code does not fit the library's codes";
}

TEST(PublicKeyInfo, BuiltFromTokenAttributesItIsTheSameDerOpenSslWrites) {
    using quillard::demo::KeyType;
    for (KeyType type : {KeyType::Rsa2048, KeyType::EcP256}) {
        const quillard::Credential credential = quillard::demo::makeSelfSignedCredential(type, "Key info");
        const std::vector<uint8_t>& spki = credential.publicKey.publicKeyDer;
        quillard::EvpPkeyPtr key = quillard::decodePublicKey(spki);
        ASSERT_TRUE(key);
        std::vector<uint8_t> rebuilt;
        if (type == KeyType::Rsa2048) {
            BIGNUM *n = nullptr, *e = nullptr;
            ASSERT_TRUE(EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_N, &n));
            ASSERT_TRUE(EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_E, &e));
            std::vector<uint8_t> modulus(BN_num_bytes(n)), exponent(BN_num_bytes(e));
            BN_bn2bin(n, modulus.data());
            BN_bn2bin(e, exponent.data());
            BN_free(n);
            BN_free(e);
            rebuilt = rsaPublicKeyInfo(modulus, exponent);
            EXPECT_EQ(bitLength(modulus), 2048);
        } else {
            const std::vector<uint8_t> p256 = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
            std::vector<uint8_t> point(65);
            std::size_t length = 0;
            ASSERT_TRUE(EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY,
                                                        point.data(), point.size(), &length));
            rebuilt = ecPublicKeyInfo(p256, point);
            EXPECT_EQ(knownCurveBits(p256), 256);
        }
        EXPECT_EQ(rebuilt, spki);
    }
    EXPECT_EQ(bitLength({0x00, 0x01, 0xFF}), 9);
    EXPECT_FALSE(knownCurveBits({0x06, 0x01, 0x00}));
}
