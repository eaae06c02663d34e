// Format values checked against the fields of the block before it is built: nothing is ever cut to fit.
#include "token/flows/format_values.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace std::string_literals;
using token::flows::checkFormatValues;
using token::flows::FormatField;
using token::flows::FormatLimits;
using token::flows::FormatTexts;
using token::flows::FormatValueProblem;
using token::flows::FormatValuesCheck;

const FormatLimits kLimits{10, 10, 4, 32, 4, 32};

FormatValuesCheck textsCheck(const std::string& label, const std::string& userPin) {
    return checkFormatValues({label, "Maker", "Issuer", "87654321", userPin}, kLimits);
}

TEST(FormatValuesTest, NumbersMustFitTheByteTheyAreSentAs) {
    EXPECT_TRUE(checkFormatValues({"L", "M", "I", "1234", "1234"}, kLimits).fits());
    EXPECT_TRUE(checkFormatValues({"L", "M", "I", "1234", "1234"}, {255, 0, 0, 255, 0, 255}).fits());
    const struct {
        FormatLimits limits;
        FormatField field;
    } cases[] = {
        {{257, 10, 4, 32, 4, 32}, FormatField::UserPinRetries}, // once sent as 1
        {{10, 266, 4, 32, 4, 32}, FormatField::SoPinRetries},   // once sent as 10
        {{10, 10, -1, 32, 4, 32}, FormatField::UserPinMinLength},
        {{10, 10, 4, 264, 4, 32}, FormatField::UserPinMaxLength}, // once sent as 8
        {{10, 10, 4, 32, 256, 32}, FormatField::SoPinMinLength},
        {{10, 10, 4, 32, 4, 1 << 20}, FormatField::SoPinMaxLength},
    };
    for (const auto& refused : cases) {
        const FormatValuesCheck check = checkFormatValues({"L", "M", "I", "1234", "1234"}, refused.limits);
        EXPECT_EQ(check.problem, FormatValueProblem::OutOfRange);
        EXPECT_EQ(check.field, refused.field);
        EXPECT_EQ(check.minimum, 0);
        EXPECT_EQ(check.maximum, 255);
    }
}

TEST(FormatValuesTest, TextsMustFitTheirFieldWithoutAZeroByte) {
    EXPECT_TRUE(textsCheck(std::string(31, 'l'), std::string(32, '1')).fits());
    FormatValuesCheck check = textsCheck(std::string(32, 'l'), "1234");
    EXPECT_EQ(check.field, FormatField::Label);
    EXPECT_EQ(check.problem, FormatValueProblem::TooLong);
    EXPECT_EQ(check.maximum, 31);
    check = textsCheck("Label", std::string(33, '1'));
    EXPECT_EQ(check.field, FormatField::UserPin);
    EXPECT_EQ(check.maximum, 32);
    // A zero byte would end the PIN early: the key would take "1234".
    check = textsCheck("Label", "1234\0 5678"s);
    EXPECT_EQ(check.field, FormatField::UserPin);
    EXPECT_EQ(check.problem, FormatValueProblem::ZeroByte);
    check = textsCheck("Ali\0ce"s, "1234");
    EXPECT_EQ(check.field, FormatField::Label);
    EXPECT_EQ(check.problem, FormatValueProblem::ZeroByte);
    // The first field that does not fit is named, texts before numbers.
    check = checkFormatValues({"L", "M", std::string(40, 'i'), "1234", "1234"}, {999, 10, 4, 32, 4, 32});
    EXPECT_EQ(check.field, FormatField::Issuer);
    EXPECT_STREQ(token::flows::formatFieldKey(check.field), "Issuer");
    EXPECT_STREQ(token::flows::formatFieldKey(FormatField::UserPinRetries), "uPinRetryTimes");
}

} // namespace
