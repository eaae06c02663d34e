// The test token module over SoftHSM2, called as any program calls a module: the tokens it makes are slow,
// PIN-pad readers, write-protected, without login or pulled out during a call, as its settings say.
#include "tests/common/softhsm_token.h"
#include "tests/common/temp_world.h"

#include <p11-kit/pkcs11.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

class TokenDoubleTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (softhsm::modulePath().empty())
            GTEST_SKIP() << "SoftHSM2 is not installed";
        ASSERT_TRUE(softhsm::initToken("Double"));
        settingsFile = world.root() / "token-double.conf";
        setenv("PZ_TEST_TOKEN_SETTINGS", settingsFile.c_str(), 1);
    }
    void TearDown() override {
        if (functions)
            functions->C_Finalize(nullptr);
        unsetenv("PZ_TEST_TOKEN_SETTINGS");
    }

    // Starts the module with `lines` after the wrapped module's line.
    void start(const std::string& lines) {
        ASSERT_TRUE(writeTestFile(settingsFile, "module = " + softhsm::modulePath() + "\n" + lines));
        void* library = dlopen(PZ_TEST_TOKEN_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto get = reinterpret_cast<CK_C_GetFunctionList>(dlsym(library, "C_GetFunctionList"));
        ASSERT_NE(get, nullptr);
        ASSERT_EQ(get(&functions), CKR_OK);
        ASSERT_EQ(functions->C_Initialize(nullptr), CKR_OK);
        slot = tokenSlot();
    }

    // The slot of the token initialised in SetUp.
    CK_SLOT_ID tokenSlot() {
        for (CK_SLOT_ID candidate : presentSlots()) {
            CK_TOKEN_INFO info{};
            if (functions->C_GetTokenInfo(candidate, &info) == CKR_OK && (info.flags & CKF_TOKEN_INITIALIZED))
                return candidate;
        }
        ADD_FAILURE() << "no initialised token";
        return 0;
    }

    std::vector<CK_SLOT_ID> presentSlots() {
        CK_ULONG count = 0;
        EXPECT_EQ(functions->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_OK);
        std::vector<CK_SLOT_ID> slots(count);
        EXPECT_EQ(functions->C_GetSlotList(CK_TRUE, slots.data(), &count), CKR_OK);
        slots.resize(count);
        return slots;
    }

    CK_FLAGS tokenFlags() {
        CK_TOKEN_INFO info{};
        EXPECT_EQ(functions->C_GetTokenInfo(slot, &info), CKR_OK);
        return info.flags;
    }

    CK_SESSION_HANDLE openSession(CK_FLAGS flags = CKF_SERIAL_SESSION | CKF_RW_SESSION) {
        CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
        EXPECT_EQ(functions->C_OpenSession(slot, flags, nullptr, nullptr, &session), CKR_OK);
        return session;
    }

    CK_RV login(CK_SESSION_HANDLE session, const char* pin) {
        auto* bytes = reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pin));
        return functions->C_Login(session, CKU_USER, bytes, pin ? std::strlen(pin) : 0);
    }

    CK_RV createDataObject(CK_SESSION_HANDLE session, CK_BBOOL onToken) {
        CK_OBJECT_CLASS dataClass = CKO_DATA;
        char label[] = "note";
        CK_ATTRIBUTE attributes[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                                     {CKA_TOKEN, &onToken, sizeof onToken},
                                     {CKA_LABEL, label, sizeof label - 1}};
        CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
        return functions->C_CreateObject(session, attributes, 3, &object);
    }

    TempWorld world;
    std::filesystem::path settingsFile;
    CK_FUNCTION_LIST* functions = nullptr;
    CK_SLOT_ID slot = 0;
};

TEST_F(TokenDoubleTest, WithoutSettingsItPassesEveryCallOnUnchanged) {
    start("");
    EXPECT_EQ(tokenFlags() & (CKF_PROTECTED_AUTHENTICATION_PATH | CKF_WRITE_PROTECTED), 0u);
    EXPECT_NE(tokenFlags() & CKF_LOGIN_REQUIRED, 0u);
    const CK_SESSION_HANDLE session = openSession();
    EXPECT_EQ(login(session, "00000000"), CKR_PIN_INCORRECT);
    EXPECT_EQ(login(session, softhsm::kUserPin), CKR_OK);
    EXPECT_EQ(createDataObject(session, CK_TRUE), CKR_OK);
}

TEST_F(TokenDoubleTest, DelaysTheChosenFunctionsOnly) {
    // A floor, never a ceiling: the chosen call takes at least its delay.
    start("delay_ms = 150\ndelayed = C_Login\n");
    const CK_SESSION_HANDLE session = openSession();
    const auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(login(session, softhsm::kUserPin), CKR_OK);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(150));
}

TEST_F(TokenDoubleTest, APinPadTokenTakesTheLoginWithoutAPinFromItsReader) {
    start("pin_pad = 1\npin = " + std::string(softhsm::kUserPin) + "\n");
    EXPECT_NE(tokenFlags() & CKF_PROTECTED_AUTHENTICATION_PATH, 0u);
    const CK_SESSION_HANDLE session = openSession();
    EXPECT_EQ(login(session, nullptr), CKR_OK);
}

TEST_F(TokenDoubleTest, APinPadWhoseTypedPinIsWrongRefusesTheLogin) {
    start("pin_pad = 1\npin = 99999999\n");
    EXPECT_EQ(login(openSession(), nullptr), CKR_PIN_INCORRECT);
}

TEST_F(TokenDoubleTest, AWriteProtectedTokenRefusesEveryWriteAndKeepsItsObjects) {
    start("write_protected = 1\n");
    EXPECT_NE(tokenFlags() & CKF_WRITE_PROTECTED, 0u);
    CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
    EXPECT_EQ(functions->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session),
              CKR_TOKEN_WRITE_PROTECTED);
    session = openSession(CKF_SERIAL_SESSION);
    ASSERT_EQ(login(session, softhsm::kUserPin), CKR_OK);
    EXPECT_EQ(createDataObject(session, CK_TRUE), CKR_TOKEN_WRITE_PROTECTED);
    // Session objects are not the token's: they may still be made.
    EXPECT_EQ(createDataObject(session, CK_FALSE), CKR_OK);
    char newPin[] = "11112222";
    auto* oldBytes = reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(softhsm::kUserPin));
    EXPECT_EQ(functions->C_SetPIN(session, oldBytes, 8, reinterpret_cast<CK_UTF8CHAR_PTR>(newPin), 8),
              CKR_TOKEN_WRITE_PROTECTED);
    CK_UTF8CHAR label[32];
    std::memset(label, ' ', sizeof label);
    auto* soBytes = reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(softhsm::kSoPin));
    EXPECT_EQ(functions->C_InitToken(slot, soBytes, 8, label), CKR_TOKEN_WRITE_PROTECTED);
    // The user PIN is still the old one.
    functions->C_Logout(session);
    EXPECT_EQ(login(session, softhsm::kUserPin), CKR_OK);
}

TEST_F(TokenDoubleTest, ATokenWithoutLoginSaysSo) {
    start("no_login = 1\n");
    EXPECT_EQ(tokenFlags() & CKF_LOGIN_REQUIRED, 0u);
}

TEST_F(TokenDoubleTest, ATokenPulledOutDuringASlowReadFailsItAndIsNoLongerListed) {
    start("delay_ms = 50\ndelayed = C_FindObjects\nvanish_during = C_FindObjects\n");
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_EQ(functions->C_FindObjectsInit(session, nullptr, 0), CKR_OK);
    CK_OBJECT_HANDLE objects[4];
    CK_ULONG found = 0;
    EXPECT_EQ(functions->C_FindObjects(session, objects, 4, &found), CKR_DEVICE_REMOVED);
    EXPECT_EQ(login(session, softhsm::kUserPin), CKR_DEVICE_REMOVED);
    EXPECT_TRUE(presentSlots().empty());
    // A new start is a new insertion.
    ASSERT_EQ(functions->C_Finalize(nullptr), CKR_OK);
    ASSERT_EQ(functions->C_Initialize(nullptr), CKR_OK);
    EXPECT_FALSE(presentSlots().empty());
}

TEST_F(TokenDoubleTest, ATokenPulledOutByItsFileFailsTheNextCallsAndComesBackWithIt) {
    const auto pulled = world.root() / "pulled";
    start("vanish_file = " + pulled.string() + "\n");
    const CK_SESSION_HANDLE session = openSession();
    ASSERT_TRUE(writeTestFile(pulled, ""));
    EXPECT_EQ(login(session, softhsm::kUserPin), CKR_DEVICE_REMOVED);
    CK_TOKEN_INFO info{};
    EXPECT_EQ(functions->C_GetTokenInfo(slot, &info), CKR_TOKEN_NOT_PRESENT);
    EXPECT_TRUE(presentSlots().empty());
    std::filesystem::remove(pulled);
    EXPECT_FALSE(presentSlots().empty());
}

} // namespace
