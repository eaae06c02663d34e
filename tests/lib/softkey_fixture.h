// A private world of virtual keys for one test: a TempWorld, the key manager and a driver on its device
// folder, keys made with few PBKDF2 iterations, and credentials made once per test run.
#pragma once

#include "tests/common/temp_world.h"
#include "token/lib/credential.h"
#include "token/lib/paths.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/softkey_driver.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/demo_credentials.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class SoftkeyTest : public ::testing::Test {
protected:
    static constexpr const char* kUserPin = "1234";
    static constexpr const char* kSoPin = "87654321";

    // An initialised key: user PIN 4..8 with 3 tries, SO PIN 6..10 with 2 tries, 8 KiB of memory, 64 sectors.
    static quillard::VirtualKeySettings initialisedKey(const std::string& serial) {
        quillard::VirtualKeySettings settings;
        settings.serial = serial;
        settings.label = "Test " + serial;
        settings.userPolicy = {4, 8, 3};
        settings.soPolicy = {6, 10, 2};
        settings.userPin = kUserPin;
        settings.soPin = kSoPin;
        settings.totalMemory = 8192;
        settings.diskBytes = 64 * 2048;
        settings.kdfIterations = 16;
        return settings;
    }

    static quillard::VirtualKeySettings blankKey(const std::string& serial) {
        quillard::VirtualKeySettings settings = initialisedKey(serial);
        settings.initialised = false;
        settings.userPin = quillard::SecureString();
        settings.soPin = quillard::SecureString();
        return settings;
    }

    void create(const quillard::VirtualKeySettings& settings) {
        std::string serial;
        std::string detail;
        ASSERT_EQ(manager.create(settings, serial, &detail), QR_OK) << detail;
        ASSERT_EQ(serial, settings.serial);
    }

    // Rescans and returns the index of `serial`, or -1.
    int32_t indexOf(const std::string& serial) {
        std::vector<std::string> serials;
        EXPECT_EQ(driver.find(serials), QR_OK);
        auto found = std::find(serials.begin(), serials.end(), serial);
        return found == serials.end() ? -1 : static_cast<int32_t>(found - serials.begin());
    }

    // Creates an initialised key and returns its index.
    int32_t createInitialised(const std::string& serial) {
        create(initialisedKey(serial));
        return indexOf(serial);
    }

    quillard::Result loginUser(int32_t idx, const char* pin = kUserPin) {
        int32_t retriesLeft = -1;
        return driver.login(idx, quillard::PinKind::User, pin, retriesLeft);
    }

    quillard::Result loginSo(int32_t idx, const char* pin = kSoPin) {
        int32_t retriesLeft = -1;
        return driver.login(idx, quillard::PinKind::SecurityOfficer, pin, retriesLeft);
    }

    quillard::KeyInfo info(int32_t idx) {
        quillard::KeyInfo keyInfo;
        EXPECT_EQ(driver.getInfo(idx, keyInfo), QR_OK);
        return keyInfo;
    }

    quillard::PinState pinState(int32_t idx, quillard::PinKind kind) {
        quillard::PinState state;
        EXPECT_EQ(driver.getPinState(idx, kind, state), QR_OK);
        return state;
    }

    std::vector<uint8_t> fileBytes(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Credentials are slow to make, so each kind is made once per test run.
    static const quillard::Credential& rsaCredential() {
        static const quillard::Credential credential =
            quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Softkey RSA");
        return credential;
    }
    static const quillard::Credential& ecCredential() {
        static const quillard::Credential credential =
            quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Softkey EC");
        return credential;
    }
    static const quillard::Credential& otherEcCredential() {
        static const quillard::Credential credential =
            quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Softkey EC 2");
        return credential;
    }
    static quillard::Credential withoutPrivateKey(const quillard::Credential& credential) {
        quillard::Credential copy = credential;
        copy.privateKeyDer.clear();
        return copy;
    }

    TempWorld world;
    quillard::VirtualKeyManager manager;
    quillard::SoftkeyDriver driver{quillard::keysFolder()};
};
