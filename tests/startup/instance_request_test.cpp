// Reading the requests that reach a running instance.
#include "app/instance_request.h"

#include <gtest/gtest.h>

using app::InstanceRequest;
using app::parseInstanceRequest;
using app::textRequestBytes;

TEST(InstanceRequest, OnlyTheExactTextCloseCloses) {
    EXPECT_EQ(parseInstanceRequest(textRequestBytes("CLOSE")), InstanceRequest::Close);
    EXPECT_EQ(parseInstanceRequest(textRequestBytes("close")), InstanceRequest::None);
    EXPECT_EQ(parseInstanceRequest(textRequestBytes("Close")), InstanceRequest::None);
    EXPECT_EQ(parseInstanceRequest(textRequestBytes("CLOSE ")), InstanceRequest::None);
    EXPECT_EQ(parseInstanceRequest(textRequestBytes(" CLOSE")), InstanceRequest::None);
    EXPECT_EQ(parseInstanceRequest(textRequestBytes("CLOS")), InstanceRequest::None);
    EXPECT_EQ(parseInstanceRequest(QByteArray("CLOSE")), InstanceRequest::None) << "8-bit text is not UTF-16";
    EXPECT_EQ(parseInstanceRequest(QByteArray()), InstanceRequest::None);
}

TEST(InstanceRequest, TextEndsAtTheFirstNulCharacter) {
    EXPECT_EQ(parseInstanceRequest(textRequestBytes(QStringLiteral("CLOSE") + QChar(u'\0'))),
              InstanceRequest::Close);
    EXPECT_EQ(parseInstanceRequest(textRequestBytes(QStringLiteral("CLOSE") + QChar(u'\0') + "xyz")),
              InstanceRequest::Close);
    EXPECT_EQ(parseInstanceRequest(textRequestBytes(QChar(u'\0') + QStringLiteral("CLOSE"))),
              InstanceRequest::None);
}

TEST(InstanceRequest, RestoreRequestIsNeverATextRequest) {
    EXPECT_EQ(parseInstanceRequest(app::restoreRequestBytes()), InstanceRequest::Restore);
    EXPECT_EQ(parseInstanceRequest(textRequestBytes("RESTORE")), InstanceRequest::None);
    EXPECT_EQ(parseInstanceRequest(app::restoreRequestBytes() + textRequestBytes("x")),
              InstanceRequest::None);
}
