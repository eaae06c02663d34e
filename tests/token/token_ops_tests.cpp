// The operations layer against a scripted library: what it does beyond forwarding.
#include "tests/common/scripted_quillard.h"
#include "token/token_ops.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace token;

namespace {

class TokenOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        keyTable() = KeyTable{};
        for (auto& key : keyTable().keys)
            key.clear();
    }
    ScriptedQuillard lib;
};

// Scripts container_load_all to answer with `bytes` (NULs included).
void scriptContainerBytes(ScriptedQuillard& lib, const std::string& bytes) {
    lib.container_load_all = [bytes](int32_t, char* buffer, int32_t* length) {
        if (static_cast<std::size_t>(*length) < bytes.size())
            return int32_t(0x150);
        std::memcpy(buffer, bytes.data(), bytes.size());
        *length = static_cast<int32_t>(bytes.size());
        return int32_t(0);
    };
}

} // namespace

TEST_F(TokenOpsTest, FindWithoutKeysReportsOneAndCountZero) {
    keyTable().keyCount = 5;
    int32_t count = -1;
    lib.token_find = [](int32_t*, int32_t* n) {
        *n = 0;
        return int32_t(0);
    };
    EXPECT_EQ(token_find(count), 1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(keyTable().keyCount, 0);
    EXPECT_EQ(lib.count("token_connect"), 0);

    lib.token_find = [](int32_t*, int32_t* n) {
        *n = 3;
        return int32_t(0x32);
    };
    count = -1;
    EXPECT_EQ(token_find(count), 1);
    EXPECT_EQ(count, 0);
}

TEST_F(TokenOpsTest, FindConnectsEveryKeyInOrderAndReturnsTheLastConnect) {
    int32_t askedCount = 0;
    lib.token_find = [&](int32_t* list, int32_t* n) {
        askedCount = *n;
        EXPECT_EQ(list[31], 0);
        *n = 3;
        return int32_t(0);
    };
    std::vector<int32_t> connected;
    lib.token_connect = [&](int32_t idx) {
        connected.push_back(idx);
        return idx == 1 ? int32_t(0x30) : int32_t(0);
    };
    int32_t count = 0;
    EXPECT_EQ(token_find(count), 0);
    EXPECT_EQ(askedCount, 32);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(keyTable().keyCount, 3);
    EXPECT_EQ(connected, (std::vector<int32_t>{0, 1, 2}));

    lib.token_connect = [](int32_t idx) { return idx == 2 ? int32_t(0x32) : int32_t(0); };
    EXPECT_EQ(token_find(count), 0x32);
    EXPECT_EQ(count, 3);
}

TEST_F(TokenOpsTest, FindNeverReportsMoreKeysThanTheListHolds) {
    lib.token_find = [](int32_t*, int32_t* n) {
        *n = 40;
        return int32_t(0);
    };
    int32_t count = 0;
    token_find(count);
    EXPECT_EQ(count, 32);
    EXPECT_EQ(lib.count("token_connect"), 32);
}

TEST_F(TokenOpsTest, InfoFillsTheThirteenFieldsInTableOrder) {
    lib.token_get_info = [](int32_t, char* serial, char* label, char* manufacturer, char* model, int32_t* a,
                            int32_t* b, int32_t* c, int32_t* d, int32_t* e, int32_t* f, int32_t* g,
                            int32_t* h, int32_t* i) {
        std::strcpy(serial, "SN1");
        std::strcpy(label, "  标签 ");
        std::strcpy(manufacturer, "M");
        std::strcpy(model, "K");
        int32_t* fields[] = {a, b, c, d, e, f, g, h, i};
        for (int n = 0; n < 9; ++n)
            *fields[n] = n + 1;
        return int32_t(0);
    };
    TZartoInfo& record = keyTable().keys[0];
    ASSERT_EQ(token_get_info(0, record), 0);
    EXPECT_STREQ(record.serial, "SN1");
    EXPECT_STREQ(record.label, "  标签 ");
    EXPECT_STREQ(record.model, "K");
    EXPECT_EQ(record.maxPinLength, 1);
    EXPECT_EQ(record.minPinLength, 2);
    EXPECT_EQ(record.minSoPinLength, 4);
    EXPECT_EQ(record.totalMemory, 5);
    EXPECT_EQ(record.freeMemory, 6);
    EXPECT_EQ(record.hardwareVersion, 7);
    EXPECT_EQ(record.firmwareVersion, 8);
    EXPECT_EQ(record.initialised, 9);
}

TEST_F(TokenOpsTest, PinStateOfARemovedKeyReadsAsZeros) {
    TPinState state{7, 10, 1, 1, 1, 1};
    lib.token_get_pin_state = [](int32_t, int32_t, int32_t*, int32_t*, int32_t*, int32_t*, int32_t*,
                                 int32_t*) { return int32_t(0x32); };
    token_get_pin_state(0, PinType::User, state);
    EXPECT_EQ(state.retriesLeft, 0);
    EXPECT_EQ(state.maxRetries, 0);
    EXPECT_EQ(state.locked, 0);

    int32_t askedType = -1;
    lib.token_get_pin_state = [&](int32_t, int32_t type, int32_t* left, int32_t* max, int32_t*, int32_t*,
                                  int32_t* locked, int32_t*) {
        askedType = type;
        *left = 0;
        *max = 10;
        *locked = 1;
        return int32_t(0);
    };
    token_get_pin_state(0, PinType::So, state);
    EXPECT_EQ(askedType, 0);
    EXPECT_EQ(state.maxRetries, 10);
    EXPECT_EQ(state.locked, 1);
}

TEST_F(TokenOpsTest, LabelGoesAsUtf8AtTheStartOfSixtyFourZeroBytes) {
    std::string seen;
    bool tailZero = false;
    lib.token_set_label = [&](int32_t, const char* buffer) {
        seen.assign(buffer, 64);
        tailZero = std::all_of(buffer + std::strlen(buffer), buffer + 64, [](char c) { return c == 0; });
        return int32_t(0);
    };
    token_set_label(0, u"钥匙 A\U0001F511");
    EXPECT_EQ(seen.substr(0, std::strlen(seen.c_str())), "钥匙 A\xF0\x9F\x94\x91");
    EXPECT_TRUE(tailZero);

    token_set_label(0, std::u16string(100, u'x'));
    EXPECT_EQ(std::strlen(seen.c_str()), 63u) << "an over-long label must not fill the buffer's last byte";
}

TEST_F(TokenOpsTest, ContainerListSplitsAtNulsAndKeepsBlanks) {
    scriptContainerBytes(lib, std::string("a b\0\0 lead\0trail \0", 19));
    TZartoInfo& record = keyTable().keys[1];
    ASSERT_EQ(LoadContainerList(1, record), 0);
    ASSERT_EQ(record.containerCount, 3);
    EXPECT_EQ(record.containerNames[0], "a b");
    EXPECT_EQ(record.containerNames[1], " lead");
    EXPECT_EQ(record.containerNames[2], "trail ");

    scriptContainerBytes(lib, std::string("last", 4));
    ASSERT_EQ(LoadContainerList(1, record), 0);
    EXPECT_EQ(record.containerCount, 1);
    EXPECT_EQ(record.containerNames[0], "last");
}

TEST_F(TokenOpsTest, FailedContainerListLeavesTheRecord) {
    TZartoInfo& record = keyTable().keys[0];
    record.containerCount = 2;
    record.containerNames[0] = "kept";
    lib.container_load_all = [](int32_t, char*, int32_t*) { return int32_t(0x32); };
    EXPECT_EQ(LoadContainerList(0, record), 0x32);
    EXPECT_EQ(record.containerCount, 2);
    EXPECT_EQ(record.containerNames[0], "kept");
}

TEST_F(TokenOpsTest, ContainerListKeepsAtMostSixtyFiveNames) {
    std::string bytes;
    for (int i = 0; i < 70; ++i)
        bytes += "c" + std::to_string(i) + '\0';
    scriptContainerBytes(lib, bytes);
    TZartoInfo& record = keyTable().keys[0];
    ASSERT_EQ(LoadContainerList(0, record), 0);
    EXPECT_EQ(record.containerCount, 65);
    EXPECT_EQ(record.containerNames[64], "c64");
}

TEST_F(TokenOpsTest, ReadCertInfoStopsAtAMissingCertificate) {
    lib.container_get_cert = [](int32_t, const char*, int32_t, uint8_t*, int32_t*) { return int32_t(0x82); };
    TZartoCertInfo info;
    EXPECT_EQ(ReadCertInfo(0, "c", 1, info), 0x82);
    EXPECT_EQ(lib.count("container_get_pubkey"), 0);
    EXPECT_EQ(lib.count("helper_get_cert_info2"), 0);
}

TEST_F(TokenOpsTest, ReadCertInfoFillsTheRecord) {
    lib.container_get_cert = [](int32_t, const char* name, int32_t spec, uint8_t* buffer, int32_t* length) {
        EXPECT_STREQ(name, "my cont");
        EXPECT_EQ(spec, 2);
        EXPECT_GE(*length, 3);
        buffer[0] = 0x30;
        *length = 3;
        return int32_t(0);
    };
    lib.container_get_pubkey = [](int32_t, const char*, int32_t, int32_t* alg, int32_t* bits, uint8_t*,
                                  int32_t* length) {
        EXPECT_GT(*length, 0);
        *alg = 3;
        *bits = 256;
        return int32_t(0x54); // not examined
    };
    lib.helper_get_cert_info2 = [](const uint8_t*, int32_t length, uint16_t* subject, uint16_t* issuer,
                                   int32_t* version, char* serial, int32_t* from, int32_t* to, int32_t* alg) {
        EXPECT_EQ(length, 3);
        const char16_t who[] = u"张三";
        std::copy(std::begin(who), std::end(who), subject);
        issuer[0] = u'I';
        *version = 3;
        std::strcpy(serial, "0A1B");
        const int32_t f[9] = {2024, 2, 9, 1, 2, 3, 4, 5, 6}, t[9] = {2034, 12, 31};
        std::copy(f, f + 9, from);
        std::copy(t, t + 9, to);
        *alg = 0;
        return int32_t(0);
    };
    TZartoCertInfo info;
    ASSERT_EQ(ReadCertInfo(0, "my cont", 2, info), 0);
    EXPECT_EQ(info.certificateLength, 3);
    EXPECT_EQ(info.certificate, std::vector<uint8_t>({0x30, 0, 0}));
    EXPECT_EQ(info.subject, u"张三");
    EXPECT_EQ(info.issuer, u"I");
    EXPECT_EQ(info.serialNumber, "0A1B");
    EXPECT_EQ(info.validFromText, "2024-02-09");
    EXPECT_EQ(info.validToText, "2034-12-31");
    EXPECT_EQ(info.validFrom[2], 9);
    EXPECT_EQ(info.validFrom[3], 0) << "only year, month and day are carried";
    EXPECT_EQ(info.keyType, 3);
    EXPECT_EQ(info.keyBits, 256);
}

// Scripts container_get_cert to answer with `size` bytes, or QR_BUFFER_TOO_SMALL and the size when the buffer
// offered is shorter; container_get_pubkey likewise with a key of `keySize` bytes.
void scriptLongObjects(ScriptedQuillard& lib, int32_t size, int32_t keySize, std::vector<int32_t>& offered) {
    lib.container_get_cert = [size, &offered](int32_t, const char*, int32_t, uint8_t* buffer,
                                              int32_t* length) {
        offered.push_back(*length);
        if (*length < size) {
            *length = size;
            return int32_t(0x150);
        }
        std::fill(buffer, buffer + size, uint8_t(0xC5));
        *length = size;
        return int32_t(0);
    };
    lib.container_get_pubkey = [keySize, &offered](int32_t, const char*, int32_t, int32_t* alg, int32_t* bits,
                                                   uint8_t* buffer, int32_t* length) {
        offered.push_back(-*length);
        *alg = 0;
        *bits = 16384;
        if (*length < keySize) {
            *length = keySize;
            return int32_t(0x150);
        }
        std::fill(buffer, buffer + keySize, uint8_t(0x5C));
        *length = keySize;
        return int32_t(0);
    };
    lib.helper_get_cert_info2 = [](const uint8_t*, int32_t, uint16_t*, uint16_t*, int32_t*, char*, int32_t*,
                                   int32_t*, int32_t*) { return int32_t(0); };
}

TEST_F(TokenOpsTest, ReadCertInfoAsksAgainWithTheRoomALongCertificateOrKeyNeeds) {
    std::vector<int32_t> offered;
    scriptLongObjects(lib, 65536, 9000, offered);
    TZartoCertInfo info;
    ASSERT_EQ(ReadCertInfo(0, "c", 1, info), 0);
    EXPECT_EQ(info.certificateLength, 65536);
    ASSERT_EQ(info.certificate.size(), 65536u);
    EXPECT_EQ(info.certificate.back(), 0xC5);
    EXPECT_EQ(info.keyBits, 16384);
    // The certificate twice (a first try, then the room it needs), the public key likewise.
    ASSERT_EQ(offered.size(), 4u);
    EXPECT_LT(offered[0], 65536);
    EXPECT_EQ(offered[1], 65536);
    EXPECT_GT(-offered[2], 0);
    EXPECT_EQ(-offered[3], 9000);
}

TEST_F(TokenOpsTest, ReadCertInfoRefusesACertificateLongerThanTheRecord) {
    std::vector<int32_t> offered;
    scriptLongObjects(lib, 65537, 100, offered);
    TZartoCertInfo info;
    EXPECT_EQ(ReadCertInfo(0, "c", 1, info), 0x150);
    EXPECT_EQ(info.certificateLength, 65537);
    EXPECT_TRUE(info.certificate.empty());
    EXPECT_EQ(offered.size(), 1u);
    EXPECT_EQ(lib.count("container_get_pubkey"), 0);
}

TEST_F(TokenOpsTest, ReadCertInfoKeepsTheStringsWhenDecodingFails) {
    lib.container_get_cert = [](int32_t, const char*, int32_t, uint8_t*, int32_t* length) {
        *length = 10;
        return int32_t(0);
    };
    lib.helper_get_cert_info2 = [](const uint8_t*, int32_t, uint16_t* subject, uint16_t*, int32_t*, char*,
                                   int32_t*, int32_t*, int32_t*) {
        subject[0] = u'X';
        return int32_t(0x0A000011);
    };
    TZartoCertInfo info;
    info.subject = u"before";
    EXPECT_EQ(ReadCertInfo(0, "c", 1, info), 0x0A000011);
    EXPECT_EQ(info.subject, u"before");
}

TEST_F(TokenOpsTest, KeyQueriesDiscardTheirExtraOutputs) {
    lib.container_get_prikey = [](int32_t, const char*, int32_t, int32_t* alg, int32_t* bits) {
        *alg = 3;
        *bits = 384;
        return int32_t(0);
    };
    int32_t algorithm = -1;
    EXPECT_EQ(container_get_prikey(0, "c", 1, algorithm), 0);
    EXPECT_EQ(algorithm, 3);

    lib.container_get_pubkey = [](int32_t, const char*, int32_t, int32_t* alg, int32_t*, uint8_t*, int32_t*) {
        *alg = 0;
        return int32_t(0x82);
    };
    EXPECT_EQ(container_get_pubkey(0, "c", 1, algorithm), 0x82);
}
