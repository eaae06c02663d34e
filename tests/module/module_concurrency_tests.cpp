// The module under threads, across fork() and beside the window working on the same key at the same time.
#include "module_fixture.h"

#include "token/lib/key_description.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace {

class ModuleConcurrencyTest : public ModuleTest {
protected:
    // True when `signature` is a SHA-256 PKCS#1 v1.5 signature of `data` by the key of `spki`.
    static bool verifies(const std::vector<uint8_t>& spki, const std::vector<uint8_t>& data,
                         const std::vector<uint8_t>& signature) {
        quillard::EvpPkeyPtr key = quillard::decodePublicKey(spki);
        quillard::OpenSslPtr<EVP_MD_CTX, EVP_MD_CTX_free> context(EVP_MD_CTX_new());
        return key && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
               EVP_DigestVerify(context.get(), signature.data(), signature.size(), data.data(),
                                data.size()) == 1;
    }
};

TEST_F(ModuleConcurrencyTest, ThreadsSignAndVerifyInTheirOwnSessions) {
    CK_SESSION_HANDLE first = openSession();
    ASSERT_EQ(login(first, kUserPin), CKR_OK);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            CK_SESSION_HANDLE session = openSession();
            const char* label = t % 2 ? "Test-EC" : kContainer;
            CK_MECHANISM mechanism{t % 2 ? CKM_ECDSA_SHA256 : CKM_SHA256_RSA_PKCS, nullptr, 0};
            CK_OBJECT_HANDLE key = findOne(session, CKO_PRIVATE_KEY, label);
            CK_OBJECT_HANDLE publicKey = findOne(session, CKO_PUBLIC_KEY, label);
            for (int i = 0; i < 20; ++i) {
                std::vector<uint8_t> data{static_cast<uint8_t>(t), static_cast<uint8_t>(i)};
                if (verify(session, publicKey, mechanism, data, sign(session, key, mechanism, data)) !=
                    CKR_OK)
                    ++failures;
            }
            p11->C_CloseSession(session);
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
}

TEST_F(ModuleConcurrencyTest, AChildInitialisesAfreshAndTheParentGoesOn) {
    CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, kUserPin), CKR_OK);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Exit codes tell the parent which step failed.
        CK_ULONG count = 0;
        if (p11->C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_CRYPTOKI_NOT_INITIALIZED)
            _exit(1);
        if (p11->C_Initialize(nullptr) != CKR_OK)
            _exit(2);
        if (p11->C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_OK || count != 1)
            _exit(3);
        CK_SESSION_HANDLE own = CK_INVALID_HANDLE;
        CK_SLOT_ID slot = 0;
        count = 1;
        p11->C_GetSlotList(CK_TRUE, &slot, &count);
        if (p11->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &own) != CKR_OK)
            _exit(4);
        CK_SESSION_INFO info{};
        // The parent's login is the parent's.
        if (p11->C_GetSessionInfo(own, &info) != CKR_OK || info.state != CKS_RO_PUBLIC_SESSION)
            _exit(5);
        _exit(p11->C_Login(own, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(kUserPin)), 8) ==
                      CKR_OK
                  ? 0
                  : 6);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    CK_MECHANISM mechanism{CKM_SHA256_RSA_PKCS, nullptr, 0};
    EXPECT_FALSE(sign(session, findOne(session, CKO_PRIVATE_KEY, kContainer), mechanism, {1}).empty());
}

TEST_F(ModuleConcurrencyTest, TheWindowAndTheModuleChangeOneKeyAtOnceAndLoseNothing) {
    CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, kUserPin), CKR_OK);
    constexpr int kEach = 6;
    std::thread windowSide([&] {
        quillard::SoftkeyDriver driver(world.keysFolder());
        std::vector<std::string> serials;
        driver.find(serials);
        int32_t retries = 0;
        driver.login(0, quillard::PinKind::User, kUserPin, retries);
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(driver.createContainer(0, "Window " + std::to_string(i)), QR_OK);
    });
    CK_MECHANISM generate{CKM_EC_KEY_PAIR_GEN, nullptr, 0};
    CK_BYTE p256[] = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};
    for (int i = 0; i < kEach; ++i) {
        std::string label = "Module " + std::to_string(i);
        CK_ATTRIBUTE publicTemplate[] = {{CKA_EC_PARAMS, p256, sizeof p256}};
        CK_ATTRIBUTE privateTemplate[] = {{CKA_LABEL, label.data(), label.size()}};
        CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
        EXPECT_EQ(p11->C_GenerateKeyPair(session, &generate, publicTemplate, 1, privateTemplate, 1,
                                         &publicKey, &privateKey),
                  CKR_OK);
    }
    windowSide.join();
    std::vector<std::string> names;
    ASSERT_EQ(window.listContainers(windowIndex(kSerial), names), QR_OK);
    for (int i = 0; i < kEach; ++i) {
        EXPECT_NE(std::find(names.begin(), names.end(), "Window " + std::to_string(i)), names.end());
        EXPECT_NE(std::find(names.begin(), names.end(), "Module " + std::to_string(i)), names.end());
    }
    EXPECT_EQ(find(session, CKO_PRIVATE_KEY).size(), 2u + kEach);
}

// A login keeps the private keys it used decoded; a key the window replaces meanwhile must sign as the new
// key at once, and a logout must end every use of the kept ones.
TEST_F(ModuleConcurrencyTest, AKeyTheWindowReplacesSignsAsTheNewKeyAtOnce) {
    CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(login(session, kUserPin), CKR_OK);
    CK_MECHANISM mechanism{CKM_SHA256_RSA_PKCS, nullptr, 0};
    const std::vector<uint8_t> data(64, 0x21);
    auto publicKeyInfo = [&] {
        return attribute(session, findOne(session, CKO_PUBLIC_KEY, kContainer), CKA_PUBLIC_KEY_INFO);
    };
    const std::vector<uint8_t> before = publicKeyInfo();
    ASSERT_TRUE(verifies(before, data,
                         sign(session, findOne(session, CKO_PRIVATE_KEY, kContainer), mechanism, data)));

    importCredential(kSerial, kContainer, 1, quillard::demo::KeyType::Rsa2048);
    const std::vector<uint8_t> after = publicKeyInfo();
    ASSERT_NE(after, before);
    const CK_OBJECT_HANDLE key = findOne(session, CKO_PRIVATE_KEY, kContainer);
    const std::vector<uint8_t> signature = sign(session, key, mechanism, data);
    EXPECT_TRUE(verifies(after, data, signature));
    EXPECT_FALSE(verifies(before, data, signature));

    ASSERT_EQ(p11->C_Logout(session), CKR_OK);
    EXPECT_EQ(p11->C_SignInit(session, &mechanism, key), CKR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(login(session, kUserPin), CKR_OK);
    EXPECT_TRUE(verifies(after, data, sign(session, key, mechanism, data)));
}

} // namespace
