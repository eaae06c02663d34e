// The library's own devices and files, asked before init_pkcs11, and a PIN whose length the key's policy
// does not allow.
#include "tests/common/temp_world.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/virtual_key_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class DeviceExportsTest : public ::testing::Test {
protected:
    void createKey(const std::string& serial, int32_t productId, bool plugged = true) {
        quillard::VirtualKeySettings settings;
        settings.serial = serial;
        settings.productId = productId;
        settings.userPolicy = {4, 8, 3};
        settings.soPolicy = {6, 10, 2};
        settings.userPin = "1234";
        settings.soPin = "87654321";
        settings.kdfIterations = 16;
        settings.plugged = plugged;
        std::string made;
        std::string detail;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, made, &detail), QR_OK) << detail;
    }

    // The device paths the library reports, in order.
    std::vector<std::string> devices(int32_t bufferSize = 4096, int32_t* result = nullptr) {
        std::vector<char> buffer(bufferSize > 0 ? bufferSize : 1);
        int32_t length = bufferSize;
        const int32_t answer = quillard_virtual_key_devices(buffer.data(), &length);
        if (result)
            *result = answer;
        std::vector<std::string> paths;
        for (int32_t start = 0; answer == QR_OK && start < length;) {
            paths.emplace_back(buffer.data() + start);
            start += static_cast<int32_t>(paths.back().size()) + 1;
        }
        return paths;
    }

    TempWorld world;
};

} // namespace

TEST_F(DeviceExportsTest, PluggedVirtualKeysAreListedWithTheirProductIdsBeforeInit) {
    EXPECT_TRUE(devices().empty());
    createKey("VKB", 0xDB08);
    createKey("VKA", 0xE917);
    createKey("VKC", 0xE618, false);
    EXPECT_EQ(devices(), (std::vector<std::string>{
                             "\\\\?\\USB#VID_0000&PID_E917#VKA#{A5DCBF10-6530-11D2-901F-00C04FB951ED}",
                             "\\\\?\\USB#VID_0000&PID_DB08#VKB#{A5DCBF10-6530-11D2-901F-00C04FB951ED}"}));

    // A buffer too small gets the size it needs.
    int32_t result = 0;
    std::vector<char> tiny(8);
    int32_t length = 8;
    EXPECT_EQ(quillard_virtual_key_devices(tiny.data(), &length), QR_BUFFER_TOO_SMALL);
    EXPECT_EQ(devices(length, &result).size(), 2u);
    EXPECT_EQ(result, QR_OK);
}

TEST_F(DeviceExportsTest, TheDeviceFolderIsTheOneKeysArePluggedInto) {
    char folder[1024];
    int32_t length = sizeof folder;
    ASSERT_EQ(quillard_virtual_key_folder(folder, &length), QR_OK);
    EXPECT_EQ(std::filesystem::path(folder), world.keysFolder());
    EXPECT_EQ(length, static_cast<int32_t>(std::string(folder).size() + 1));
    EXPECT_EQ(quillard_virtual_key_folder(nullptr, &length), QR_ARGUMENTS_BAD);
}

TEST_F(DeviceExportsTest, TheMakersModuleNamesStandForTheLibraryItself) {
    char file[4096];
    int32_t length = sizeof file;
    ASSERT_EQ(quillard_module_file("zarto_pkcs11.dll", file, &length), QR_OK);
    // The library's file name carries its version.
    EXPECT_NE(std::string(file).find("libquillard.so.1"), std::string::npos) << file;
    EXPECT_TRUE(std::filesystem::exists(file));
    length = sizeof file;
    EXPECT_EQ(quillard_module_file("ZartoCSP11.dll", file, &length), QR_OK);
    length = sizeof file;
    EXPECT_EQ(quillard_module_file("opensc-pkcs11.so", file, &length), QR_MODULE_NOT_FOUND);
    EXPECT_STREQ(quillard_provider_name(), "Norvale Tessra Zarto CSP V1.1");
}

TEST_F(DeviceExportsTest, APinOutsideTheLengthPolicyCostsNoTry) {
    createKey("VK1", 0xE917);
    ASSERT_EQ(init_pkcs11("zarto_pkcs11.dll"), QR_OK);
    int32_t list[4];
    int32_t count = 4;
    ASSERT_EQ(token_find(list, &count), QR_OK);
    ASSERT_EQ(count, 1);
    ASSERT_EQ(token_connect(0), QR_OK);
    int32_t left = -1;
    EXPECT_EQ(token_login(0, "", &left), QR_PIN_LEN_RANGE);
    EXPECT_EQ(left, 3);
    EXPECT_EQ(token_login(0, "123", &left), QR_PIN_LEN_RANGE);
    EXPECT_EQ(token_login(0, "123456789", &left), QR_PIN_LEN_RANGE);
    int32_t state[6];
    ASSERT_EQ(token_get_pin_state(0, 1, &state[0], &state[1], &state[2], &state[3], &state[4], &state[5]),
              QR_OK);
    EXPECT_EQ(state[0], 3);
    // A wrong PIN of an allowed length still costs one.
    EXPECT_EQ(token_login(0, "9999", &left), QR_PIN_INCORRECT);
    EXPECT_EQ(left, 2);
    EXPECT_EQ(token_login(0, "1234", &left), QR_OK);
    uninit_pkcs11();
}
