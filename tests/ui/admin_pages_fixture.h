// The administration pages (initialisation, SO PIN change, unlock, ISO image) over scripted keys or over
// virtual keys and the real library: reaching a key's administration pages, the SO PIN calls the scripted
// library answers, and virtual keys made for a test.
#pragma once

#include "tests/common/softhsm_token.h"

#include "pin_pages_fixture.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "token/token_ops.h"

#include <QByteArray>
#include <filesystem>
#include <fstream>
#include <iterator>

// Positions of the administration node's children.
enum AdminTask { InitTask = 0, SoPinTask = 1, UnlockTask = 2, IsoTask = 3 };

class AdminPagesTest : public PinPagesTest {
protected:
    static constexpr const char* kSoPin = "87654321";
    static constexpr const char* kUserPin = "1234";

    AdminPagesTest() {
        keys = {{"Alpha"}, {"Beta"}};
        // The SO PIN state answers from `soLocked`; the user PIN state as the fixture's keys say.
        auto userPinState = library->token_get_pin_state;
        library->token_get_pin_state = [this, userPinState](int32_t idx, int32_t userType, int32_t* retries,
                                                            int32_t* max, int32_t* minLen, int32_t* maxLen,
                                                            int32_t* locked, int32_t* loggedIn) {
            if (userType == 0) {
                *locked = soLocked ? 1 : 0;
                return int32_t(0);
            }
            return userPinState(idx, userType, retries, max, minLen, maxLen, locked, loggedIn);
        };
        library->token_login_so = [this](int32_t, const char* pin, int32_t* triesLeft) {
            soPinsTried.emplace_back(pin);
            if (soPinsTried.back() == goodSoPin)
                return int32_t(0);
            *triesLeft = soTriesLeft;
            return int32_t(QR_PIN_INCORRECT);
        };
    }

    QTreeWidgetItem* adminNode(int slot, AdminTask task) {
        return taskNode(slot, AdministrationTask)->child(task);
    }
    // Shows the key's administration page of `task` and forgets what selecting it called.
    void openAdmin(int slot, AdminTask task) {
        select(adminNode(slot, task));
        library->calls.clear();
        form().calls.clear();
        messages.clear();
    }

    // Drops the scripted library: the window works on virtual keys through the real one.
    void useVirtualKeys() { library.reset(); }
    // Drops the scripted library and makes a SoftHSM2 token labelled `label` (user PIN 12345678, SO PIN
    // 87654321) that the window finds through p11-kit; skips the test where SoftHSM2 is not registered.
    void useSoftHsmToken(const std::string& label) {
        if (!softhsm::registeredWithP11Kit())
            GTEST_SKIP() << "SoftHSM2 is not registered with p11-kit";
        library.reset();
        ASSERT_TRUE(softhsm::initToken(label));
    }
    // A virtual key: user PIN 1234 (4..8, 5 tries), SO PIN 87654321 (6..10, 3 tries), 64 sectors of disk.
    static quillard::VirtualKeySettings virtualKey(const std::string& serial, bool initialised = true) {
        quillard::VirtualKeySettings settings;
        settings.serial = serial;
        settings.label = "Key " + serial;
        settings.userPolicy = {4, 8, 5};
        settings.soPolicy = {6, 10, 3};
        if (initialised) {
            settings.userPin = kUserPin;
            settings.soPin = kSoPin;
        }
        settings.initialised = initialised;
        settings.diskBytes = 64 * 2048;
        settings.kdfIterations = 16;
        return settings;
    }
    void createVirtualKey(const quillard::VirtualKeySettings& settings) {
        std::string serial;
        std::string detail;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, serial, &detail), QR_OK) << detail;
    }
    quillard::VirtualKeyStatus virtualKeyStatus(const std::string& serial) {
        quillard::VirtualKeyStatus status;
        EXPECT_EQ(quillard::VirtualKeyManager().status(serial, status), QR_OK);
        return status;
    }
    QByteArray diskImage(const std::string& serial) {
        std::ifstream in(world.keysFolder() / (serial + ".img"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    int32_t soLogin(int slot, const char* pin) {
        int32_t triesLeft = 0;
        const int32_t result = token::token_login_so(slot, pin, triesLeft);
        token::token_logout(slot);
        return result;
    }
    int32_t userLogin(int slot, const char* pin) {
        int32_t triesLeft = 0;
        const int32_t result = token::token_login(slot, pin, triesLeft);
        token::token_logout(slot);
        return result;
    }

    bool soLocked = false;
    std::string goodSoPin = kSoPin;
    int32_t soTriesLeft = 2;
    std::vector<std::string> soPinsTried;
};
