// A private world for one test of the PKCS#11 module: a TempWorld with virtual keys (few PBKDF2 iterations),
// the built module loaded as any program loads it (dlopen, C_GetFunctionList), and helpers for the calls
// every test makes. The module is finalised after each test.
#pragma once

#include "tests/common/temp_world.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/softkey_driver.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/demo_credentials.h"

#include <p11-kit/pkcs11.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

class ModuleTest : public ::testing::Test {
protected:
    static constexpr const char* kUserPin = "12345678";
    static constexpr const char* kSoPin = "87654321";
    static constexpr const char* kSerial = "PZTEST0001";
    static constexpr const char* kContainer = "Test-RSA";

    static CK_FUNCTION_LIST* module() {
        static CK_FUNCTION_LIST* list = [] {
            void* library = dlopen(PELLORZU_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
            EXPECT_NE(library, nullptr) << dlerror();
            auto get = reinterpret_cast<CK_C_GetFunctionList>(dlsym(library, "C_GetFunctionList"));
            CK_FUNCTION_LIST* functions = nullptr;
            EXPECT_EQ(get(&functions), CKR_OK);
            return functions;
        }();
        return list;
    }

    // An initialised key: user PIN 4..16 with 3 tries, SO PIN with 2 tries.
    static quillard::VirtualKeySettings keySettings(const std::string& serial) {
        quillard::VirtualKeySettings settings;
        settings.serial = serial;
        settings.label = "Test " + serial;
        settings.userPolicy = {4, 16, 3};
        settings.soPolicy = {6, 16, 2};
        settings.userPin = kUserPin;
        settings.soPin = kSoPin;
        settings.diskBytes = 64 * 2048;
        settings.kdfIterations = 16;
        return settings;
    }

    void SetUp() override {
        createKey(kSerial);
        // The window's side: the same driver code over the same key files, in this process.
        importCredential(kSerial, kContainer, 1, quillard::demo::KeyType::Rsa2048);
        importCredential(kSerial, "Test-EC", 2, quillard::demo::KeyType::EcP256);
        ASSERT_EQ(p11->C_Initialize(withoutThreads()), CKR_OK);
    }

    void TearDown() override { p11->C_Finalize(nullptr); }

    // The module as a program that forbids its libraries threads starts it: its watch of the keys folder is
    // then read at each call, so what a test changes through its own copy of the library (the window's
    // driver, the key manager: another copy than the module's) shows at the module's next call. On its own
    // thread, the module's default, such a change shows as soon as that thread has taken the event, which
    // ModuleRemovalTest checks.
    static CK_C_INITIALIZE_ARGS* withoutThreads() {
        static CK_C_INITIALIZE_ARGS arguments{
            nullptr, nullptr, nullptr, nullptr, CKF_LIBRARY_CANT_CREATE_OS_THREADS | CKF_OS_LOCKING_OK,
            nullptr};
        return &arguments;
    }

    void createKey(const std::string& serial) {
        std::string created;
        std::string detail;
        ASSERT_EQ(manager.create(keySettings(serial), created, &detail), QR_OK) << detail;
    }

    // Logs the window's driver in to `serial` and returns the key's index there.
    int32_t windowIndex(const std::string& serial) {
        std::vector<std::string> serials;
        EXPECT_EQ(window.find(serials), QR_OK);
        return static_cast<int32_t>(std::find(serials.begin(), serials.end(), serial) - serials.begin());
    }

    void importCredential(const std::string& serial, const std::string& container, int32_t spec,
                          quillard::demo::KeyType type) {
        int32_t idx = windowIndex(serial);
        int32_t retries = 0;
        ASSERT_EQ(window.login(idx, quillard::PinKind::User, kUserPin, retries), QR_OK);
        quillard::Result created = window.createContainer(idx, container);
        ASSERT_TRUE(created == QR_OK || created == QR_CONTAINER_EXISTS);
        ASSERT_EQ(window.importCredential(idx, container, spec,
                                          quillard::demo::makeSelfSignedCredential(type, container)),
                  QR_OK);
        window.logout(idx);
    }

    std::vector<CK_SLOT_ID> slots() {
        CK_ULONG count = 0;
        EXPECT_EQ(p11->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_OK);
        std::vector<CK_SLOT_ID> list(count);
        EXPECT_EQ(p11->C_GetSlotList(CK_TRUE, list.data(), &count), CKR_OK);
        list.resize(count);
        return list;
    }

    CK_SLOT_ID slotOf(const std::string& serial) {
        for (CK_SLOT_ID slot : slots()) {
            CK_TOKEN_INFO info{};
            EXPECT_EQ(p11->C_GetTokenInfo(slot, &info), CKR_OK);
            std::string number(reinterpret_cast<const char*>(info.serialNumber), sizeof info.serialNumber);
            if (number.substr(0, number.find_last_not_of(' ') + 1) == serial)
                return slot;
        }
        ADD_FAILURE() << "no slot for " << serial;
        return ~CK_SLOT_ID(0);
    }

    CK_SESSION_HANDLE openSession(bool readWrite = true, const std::string& serial = kSerial) {
        CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
        CK_FLAGS flags = CKF_SERIAL_SESSION | (readWrite ? CKF_RW_SESSION : 0);
        EXPECT_EQ(p11->C_OpenSession(slotOf(serial), flags, nullptr, nullptr, &session), CKR_OK);
        return session;
    }

    CK_RV login(CK_SESSION_HANDLE session, const char* pin, CK_USER_TYPE user = CKU_USER) {
        return p11->C_Login(session, user, reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin)),
                            std::strlen(pin));
    }

    CK_FLAGS tokenFlags(const std::string& serial = kSerial) {
        CK_TOKEN_INFO info{};
        EXPECT_EQ(p11->C_GetTokenInfo(slotOf(serial), &info), CKR_OK);
        return info.flags;
    }

    // The objects of `objectClass`, optionally with the label `label`.
    std::vector<CK_OBJECT_HANDLE> find(CK_SESSION_HANDLE session, CK_OBJECT_CLASS objectClass,
                                       const std::string& label = {}) {
        std::vector<CK_ATTRIBUTE> search{{CKA_CLASS, &objectClass, sizeof objectClass}};
        if (!label.empty())
            search.push_back({CKA_LABEL, const_cast<char*>(label.data()), label.size()});
        EXPECT_EQ(p11->C_FindObjectsInit(session, search.data(), search.size()), CKR_OK);
        std::vector<CK_OBJECT_HANDLE> found(64);
        CK_ULONG count = 0;
        EXPECT_EQ(p11->C_FindObjects(session, found.data(), found.size(), &count), CKR_OK);
        EXPECT_EQ(p11->C_FindObjectsFinal(session), CKR_OK);
        found.resize(count);
        return found;
    }

    CK_OBJECT_HANDLE findOne(CK_SESSION_HANDLE session, CK_OBJECT_CLASS objectClass,
                             const std::string& label) {
        std::vector<CK_OBJECT_HANDLE> found = find(session, objectClass, label);
        EXPECT_FALSE(found.empty()) << "no object of class " << objectClass << " labelled " << label;
        return found.empty() ? CK_INVALID_HANDLE : found.front();
    }

    std::vector<uint8_t> attribute(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                   CK_ATTRIBUTE_TYPE type) {
        CK_ATTRIBUTE query{type, nullptr, 0};
        EXPECT_EQ(p11->C_GetAttributeValue(session, object, &query, 1), CKR_OK);
        std::vector<uint8_t> value(query.ulValueLen);
        query.pValue = value.data();
        EXPECT_EQ(p11->C_GetAttributeValue(session, object, &query, 1), CKR_OK);
        return value;
    }

    // Signs `data` with `key` and returns the signature; empty when a call fails.
    std::vector<uint8_t> sign(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE key, CK_MECHANISM mechanism,
                              const std::vector<uint8_t>& data) {
        if (p11->C_SignInit(session, &mechanism, key) != CKR_OK)
            return {};
        CK_ULONG length = 0;
        auto* bytes = const_cast<CK_BYTE*>(data.data());
        if (p11->C_Sign(session, bytes, data.size(), nullptr, &length) != CKR_OK)
            return {};
        std::vector<uint8_t> signature(length);
        if (p11->C_Sign(session, bytes, data.size(), signature.data(), &length) != CKR_OK)
            return {};
        signature.resize(length);
        return signature;
    }

    CK_RV verify(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE key, CK_MECHANISM mechanism,
                 const std::vector<uint8_t>& data, std::vector<uint8_t> signature) {
        CK_RV rv = p11->C_VerifyInit(session, &mechanism, key);
        if (rv != CKR_OK)
            return rv;
        return p11->C_Verify(session, const_cast<CK_BYTE*>(data.data()), data.size(), signature.data(),
                             signature.size());
    }

    TempWorld world;
    quillard::VirtualKeyManager manager;
    quillard::SoftkeyDriver window{world.keysFolder()};
    CK_FUNCTION_LIST* p11 = module();
};
