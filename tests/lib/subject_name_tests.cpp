// The one-line subject of requests: escapes, the order kept, and what is refused.
#include "token/lib/subject_name.h"

#include <gtest/gtest.h>

using Entries = std::vector<std::pair<std::string, std::string>>;

TEST(SubjectNameTest, EntriesKeepTheirOrderAndEscapedCharacters) {
    EXPECT_EQ(quillard::subjectEntries("/CN=A\\/B \\\\ C/O=Org=Inc/C=DE"),
              (Entries{{"CN", "A/B \\ C"}, {"O", "Org=Inc"}, {"C", "DE"}}));
    EXPECT_EQ(quillard::subjectEntries("/CN=张三"), (Entries{{"CN", "张三"}}));
}

TEST(SubjectNameTest, MalformedTextsAndUnknownAttributesAreRefused) {
    for (const char* text : {"", "/", "CN=x", "/CN", "/=x", "/CN=", "/CN=x/", "/CN=x\\"})
        EXPECT_TRUE(quillard::subjectEntries(text).empty()) << text;
    EXPECT_EQ(quillard::subjectName("/NOTANATTRIBUTE=x"), nullptr);
    EXPECT_EQ(quillard::subjectName("/C=DEU"), nullptr) << "a country is two letters";
    EXPECT_NE(quillard::subjectName("/CN=x/emailAddress=a@example.org"), nullptr);
}
