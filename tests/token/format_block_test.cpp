// The format parameter block: the byte layout the library reads.
#include "token/flows/format_block.h"

#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using token::flows::FormatBlock;

TEST(FormatBlockTest, FieldsSitAtTheirOffsetsZeroPadded) {
    const FormatBlock block({"Label", "Maker", "Issuer", "so-pin", "user-pin"}, {15, 3, 4, 16, 6, 300});
    const auto* bytes = reinterpret_cast<const unsigned char*>(&block.params());
    const auto textAt = [bytes](std::size_t offset) {
        return std::string(reinterpret_cast<const char*>(bytes + offset), FormatBlock::kTextField);
    };
    EXPECT_EQ(textAt(0), std::string("Label") + std::string(27, '\0'));
    EXPECT_EQ(textAt(32), std::string("Maker") + std::string(27, '\0'));
    EXPECT_EQ(textAt(64), std::string("Issuer") + std::string(26, '\0'));
    EXPECT_EQ(textAt(96), std::string("so-pin") + std::string(26, '\0'));
    EXPECT_EQ(textAt(128), std::string("user-pin") + std::string(24, '\0'));
    // Low bytes of the spin values: 300 is 0x2C.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 160), 6),
              std::string("\x0F\x03\x04\x10\x06\x2C"));
}

TEST(FormatBlockTest, LongTextsNeverOverrunTheirFieldAndTheLabelKeepsItsTerminator) {
    const std::string long40(40, 'x');
    const FormatBlock block({long40, long40, "", "", ""}, {});
    EXPECT_EQ(std::string(block.params().label, 32), std::string(31, 'x') + '\0');
    EXPECT_EQ(std::string(block.params().manufacturer, 32), std::string(32, 'x'));
    EXPECT_EQ(block.params().issuer[0], '\0');
}

} // namespace
