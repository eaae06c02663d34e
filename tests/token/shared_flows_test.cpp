// The flows the window and the command line share, against a scripted library: what they call, in which
// order, and what they refuse before calling anything.
#include "tests/common/scripted_quillard.h"
#include "token/flows/certificate_list.h"
#include "token/flows/iso_image_write.h"
#include "token/flows/key_scan.h"
#include "token/flows/set_key_label.h"
#include "token/key_table.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

class SharedFlowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        library.token_get_info = [this](int32_t, char* serial, char*, char*, char*, int32_t*, int32_t*,
                                        int32_t*, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*,
                                        int32_t*) {
            std::strcpy(serial, reportedSerial.c_str());
            return 0;
        };
        library.quillard_disk_size = [this](int32_t, uint64_t* bytes) {
            *bytes = diskBytes;
            return diskResult;
        };
    }

    std::filesystem::path imageOf(std::size_t size) {
        const auto path =
            std::filesystem::temp_directory_path() / ("shared-flows-" + std::to_string(::getpid()));
        std::ofstream(path, std::ios::binary) << std::string(size, 'i');
        return path;
    }

    ScriptedQuillard library;
    std::string reportedSerial = "KEY1";
    uint64_t diskBytes = uint64_t(1) << 30;
    int32_t diskResult = 0;
};

TEST_F(SharedFlowsTest, IsoWriteSendsWholeSectorsAndStopsWhenTheKeyIsSwapped) {
    std::vector<uint32_t> sectorCounts;
    std::string lastBlockTail;
    library.token_write_sectors = [&](int32_t, uint32_t, uint32_t count, const void* data) {
        sectorCounts.push_back(count);
        lastBlockTail = std::string(static_cast<const char*>(data) + 1000, 2048 - 1000);
        return 0;
    };
    const auto image = imageOf(65536 + 1000);
    uint64_t total = 0;
    token::flows::IsoWriteSteps steps;
    steps.started = [&](uint64_t bytes) { total = bytes; };
    EXPECT_EQ(token::flows::writeIsoImage(0, "KEY1", image.string(), steps), 0);
    EXPECT_EQ(total, 66536u);
    EXPECT_EQ(sectorCounts, (std::vector<uint32_t>{32, 1}));
    EXPECT_EQ(lastBlockTail, std::string(1048, '\0'));

    // Another key at the slot gets nothing written.
    sectorCounts.clear();
    reportedSerial = "KEY2";
    EXPECT_EQ(token::flows::writeIsoImage(0, "KEY1", image.string(), steps), token::flows::kKeyReplaced);
    EXPECT_TRUE(sectorCounts.empty());
    EXPECT_EQ(token::flows::writeIsoImage(0, "KEY2", (image.string() + ".none"), steps),
              token::flows::kImageUnreadable);

    // An image larger than the disk area, or a key without one, gets nothing written either.
    reportedSerial = "KEY1";
    diskBytes = 65536;
    EXPECT_EQ(token::flows::writeIsoImage(0, "KEY1", image.string(), steps), token::flows::kImageTooBig);
    diskResult = 0x54;
    EXPECT_EQ(token::flows::writeIsoImage(0, "KEY1", image.string(), steps), 0x54);
    EXPECT_TRUE(sectorCounts.empty());
    std::filesystem::remove(image);
}

TEST_F(SharedFlowsTest, LabelsOfThirtyTwoBytesAreRefusedBeforeTheLibrarySeesThem) {
    library.calls.clear();
    EXPECT_EQ(token::flows::setKeyLabel(0, std::u16string(16, u'钥')), token::flows::LabelResult::TooLong);
    EXPECT_EQ(library.count("token_set_label"), 0);
    EXPECT_EQ(token::flows::setKeyLabel(0, u"Büro"), token::flows::LabelResult::Set);
    EXPECT_STREQ(token::keyTable().keys[0].label, "B\xC3\xBCro");
    library.token_get_pin_state = [](int32_t, int32_t, int32_t*, int32_t*, int32_t*, int32_t*,
                                     int32_t* locked, int32_t*) {
        *locked = 1;
        return 0;
    };
    EXPECT_EQ(token::flows::setKeyLabel(0, u"Other"), token::flows::LabelResult::UserPinLocked);
    EXPECT_EQ(library.count("token_set_label"), 1);
}

TEST_F(SharedFlowsTest, ScanAndCertificateListForgetWhatTheyCannotRead) {
    token::keyTable().keys[3].serial[0] = 'X';
    library.token_find = [](int32_t*, int32_t* count) {
        *count = 2;
        return 0;
    };
    int infoReads = 0;
    library.token_get_info = [&](int32_t, char*, char*, char*, char*, int32_t*, int32_t*, int32_t*, int32_t*,
                                 int32_t*, int32_t*, int32_t*, int32_t*,
                                 int32_t*) { return ++infoReads == 2 ? 0x30 : 0; };
    const token::flows::KeyScan failed = token::flows::scanKeys();
    EXPECT_EQ(failed.code, 0x30);
    EXPECT_FALSE(failed.searchFailed);
    // A scan that could not read every key marks none present, and forgets the keys it had.
    EXPECT_EQ(token::keyTable().loginState[0], token::NoKey);
    EXPECT_EQ(token::keyTable().keys[3].serial[0], '\0');

    token::keyTable().keys[0].containerCount = 2;
    token::keyTable().keys[0].containerNames[0] = "Old";
    library.container_load_all = [](int32_t, char*, int32_t*) { return 0x32; };
    const token::flows::CertificateList list = token::flows::readCertificateList(0);
    EXPECT_EQ(list.code, 0x32);
    EXPECT_TRUE(list.containers.empty());
    EXPECT_EQ(token::keyTable().keys[0].containerCount, 0);
    EXPECT_TRUE(token::keyTable().keys[0].containerNames[0].empty());
}

} // namespace
