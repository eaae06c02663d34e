// The decisions the window and the command line take from the shared flows, against a scripted library: every
// result the PIN checks, the user session, the user PIN change and the import preparation can give, and
// which library calls each one makes before it answers.
#include "tests/common/scripted_quillard.h"
#include "token/flows/change_user_pin.h"
#include "token/flows/import_preparation.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "token/lib/quillard_errors.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using token::PinType;
using token::flows::ImportCheck;
using token::flows::LoginResult;
using token::flows::PinCheck;

using Calls = std::vector<std::string>;

class KeyFlowsTest : public ::testing::Test {
protected:
    KeyFlowsTest() {
        token::keyTable() = token::KeyTable{};
        record().initialised = 1;
        record().minPinLength = 4;
        record().maxPinLength = 8;
        library.token_get_pin_state = [this](int32_t, int32_t type, int32_t*, int32_t*, int32_t*, int32_t*,
                                             int32_t* isLocked, int32_t*) {
            pinTypesAsked.push_back(type);
            *isLocked = locked ? 1 : 0;
            return int32_t(0);
        };
        library.token_login = [this](int32_t, const char* pin, int32_t* retries) {
            if (std::string(pin) == rightPin)
                return int32_t(QR_OK);
            *retries = 2;
            return loginFailure;
        };
    }

    static token::TZartoInfo& record() { return token::keyTable().keys[0]; }

    ScriptedQuillard library;
    bool locked = false;
    std::string rightPin = "1234";
    int32_t loginFailure = QR_PIN_INCORRECT;
    std::vector<int32_t> pinTypesAsked;
};

TEST_F(KeyFlowsTest, PinChecksRefuseAKeyNeverInitialisedBeforeAskingIt) {
    record().initialised = 0;
    EXPECT_EQ(token::flows::checkPin(0, PinType::User), PinCheck::NotInitialised);
    EXPECT_EQ(token::flows::checkPin(0, PinType::So), PinCheck::NotInitialised);
    EXPECT_TRUE(library.calls.empty());
}

TEST_F(KeyFlowsTest, PinChecksReadTheStateOfThePinTheyAreAskedAbout) {
    EXPECT_EQ(token::flows::checkPin(0, PinType::User), PinCheck::Usable);
    locked = true;
    EXPECT_EQ(token::flows::checkPin(0, PinType::So), PinCheck::Locked);
    EXPECT_EQ(pinTypesAsked, (std::vector<int32_t>{QUILLARD_USER_PIN, QUILLARD_SO_PIN}));
}

TEST_F(KeyFlowsTest, UserSessionOpensWithTheRightPinAndReloadsTheObjects) {
    const token::flows::UserSession session = token::flows::openUserSession(0, "1234");
    EXPECT_TRUE(session.opened());
    EXPECT_EQ(library.calls,
              (Calls{"token_get_pin_state", "token_logout", "token_login", "token_reload_all_objects"}));
    EXPECT_EQ(token::keyTable().loginState[0], token::LoggedIn);
}

TEST_F(KeyFlowsTest, UserSessionTellsARefusedPinFromARemovedKey) {
    token::flows::UserSession session = token::flows::openUserSession(0, "9999");
    EXPECT_FALSE(session.opened());
    EXPECT_EQ(session.login.result, LoginResult::PinRefused);
    EXPECT_EQ(session.login.triesLeft, 2);
    EXPECT_EQ(token::keyTable().loginState[0], token::KeyPresent);

    loginFailure = QR_DEVICE_REMOVED;
    session = token::flows::openUserSession(0, "9999");
    EXPECT_TRUE(session.login.keyRemoved());
    EXPECT_EQ(library.count("token_reload_all_objects"), 0);
}

TEST_F(KeyFlowsTest, UserSessionOnALockedPinNeverTriesALogin) {
    locked = true;
    const token::flows::UserSession session = token::flows::openUserSession(0, "1234");
    EXPECT_EQ(session.check, PinCheck::Locked);
    EXPECT_EQ(library.calls, Calls{"token_get_pin_state"});
}

TEST_F(KeyFlowsTest, SoLoginAnswersLikeTheUserLogin) {
    library.token_login_so = [](int32_t, const char*, int32_t* retries) {
        *retries = 0;
        return int32_t(QR_PIN_LOCKED);
    };
    const token::flows::Login login = token::flows::logInSo(0, "87654321");
    EXPECT_EQ(login.result, LoginResult::PinRefused);
    EXPECT_EQ(login.code, QR_PIN_LOCKED);
}

TEST_F(KeyFlowsTest, NewUserPinOutsideTheKeysLimitsIsRefusedBeforeTheKeyIsAsked) {
    for (const char* newPin : {"123", "123456789", ""}) {
        const auto outcome = token::flows::changeUserPin(0, "1234", newPin);
        EXPECT_EQ(outcome.result, token::flows::UserPinChangeResult::NewPinLengthOutside) << newPin;
    }
    EXPECT_TRUE(library.calls.empty());
    for (const char* newPin : {"4321", "87654321"})
        EXPECT_EQ(token::flows::changeUserPin(0, "1234", newPin).result,
                  token::flows::UserPinChangeResult::Changed)
            << newPin;
}

class ImportPreparationTest : public KeyFlowsTest {
protected:
    ImportPreparationTest() {
        job.key = 0;
        job.path = "pair.p12";
        library.container_load_all = [this](int32_t, char* buffer, int32_t* length) {
            if (listFailure != 0)
                return listFailure;
            std::string names;
            for (const std::string& name : containers)
                names += name + '\0';
            std::memcpy(buffer, names.data(), names.size());
            *length = static_cast<int32_t>(names.size());
            return int32_t(0);
        };
        // Only the exchange place of "Full" holds a certificate.
        library.container_get_cert = [](int32_t, const char* name, int32_t spec, uint8_t*, int32_t*) {
            return int32_t(std::string(name) == "Full" && spec == 1 ? QR_OK : QR_CONTAINER_NOT_FOUND);
        };
    }

    token::flows::CertificateImport job;
    std::vector<std::string> containers{"Full", "Empty"};
    int32_t listFailure = 0;
};

TEST_F(ImportPreparationTest, Pkcs12FileNeedsItsPasswordAndAKeyPair) {
    int32_t entries = 3;
    library.pkcs12_file_parse = [&entries](const char*, const char* password, int32_t* found) {
        if (std::string(password) != "secret")
            return int32_t(QR_WRONG_PASSWORD);
        *found = entries;
        return int32_t(0);
    };
    EXPECT_EQ(token::flows::preparePkcs12Entry(job, "wrong"), ImportCheck::PasswordRefused);
    EXPECT_EQ(token::flows::preparePkcs12Entry(job, "secret"), ImportCheck::Ready);
    EXPECT_EQ(job.entry, 2) << "the last key pair is taken";
    entries = 0;
    EXPECT_EQ(token::flows::checkPkcs12File("pair.p12", "secret").result, ImportCheck::NoKeyPair);
}

TEST_F(ImportPreparationTest, ANewContainerNeedsAFreeName) {
    EXPECT_EQ(token::flows::chooseNewContainer(job, containers, "Full"), ImportCheck::ContainerNameTaken);
    EXPECT_EQ(token::flows::chooseNewContainer(job, containers, "Other"), ImportCheck::Ready);
    EXPECT_EQ(job.container, "Other");
    EXPECT_TRUE(job.createContainer);
    EXPECT_EQ(token::flows::chooseExistingContainer(job, "Full", true), ImportCheck::PlaceTaken);
    EXPECT_EQ(token::flows::chooseExistingContainer(job, "Empty", false), ImportCheck::Ready);
    EXPECT_FALSE(job.createContainer);
}

TEST_F(ImportPreparationTest, AContainerByNameIsTakenAsTheKeyHasItNow) {
    int32_t code = 0;
    job.spec = 1;
    EXPECT_EQ(token::flows::chooseContainerByName(job, "Full", code), ImportCheck::PlaceTaken);
    job.spec = 2;
    EXPECT_EQ(token::flows::chooseContainerByName(job, "Full", code), ImportCheck::Ready);
    EXPECT_FALSE(job.createContainer);
    EXPECT_EQ(token::flows::chooseContainerByName(job, "New", code), ImportCheck::Ready);
    EXPECT_TRUE(job.createContainer);

    listFailure = QR_DEVICE_REMOVED;
    EXPECT_EQ(token::flows::chooseContainerByName(job, "Full", code), ImportCheck::ContainerListUnreadable);
    EXPECT_EQ(code, QR_DEVICE_REMOVED);
}

} // namespace
