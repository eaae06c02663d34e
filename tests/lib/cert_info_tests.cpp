#include "test_certificate_builder.h"
#include "token/lib/cert_info.h"
#include "token/lib/quillard_errors.h"

#include <gtest/gtest.h>
#include <openssl/asn1.h>

using quillard::CertInfo;
using quillard::readCertInfo;

namespace {

CertInfo infoOf(const std::vector<uint8_t>& der) {
    CertInfo info;
    EXPECT_EQ(readCertInfo(der.data(), der.size(), info), QR_OK);
    return info;
}

} // namespace

TEST(CertInfo, DisplayNameFollowsCommonNameOrganisationUnitEmailOrder) {
    TestCertificateBuilder builder;
    builder.subject({{"C", "CN"}, {"O", "Norvale"}, {"CN", "Alice"}, {"CN", "Second"}});
    builder.issuer({{"C", "CN"}, {"OU", "Unit"}, {"O", "Issuer Org"}});
    CertInfo info = infoOf(builder.der());
    EXPECT_EQ(info.subject, u"Alice");
    EXPECT_EQ(info.issuer, u"Issuer Org");

    builder.subject({{"OU", "Unit"}, {"emailAddress", "a@example.org"}});
    builder.issuer({{"emailAddress", "ca@example.org"}, {"L", "Beijing"}});
    info = infoOf(builder.der());
    EXPECT_EQ(info.subject, u"Unit");
    EXPECT_EQ(info.issuer, u"ca@example.org");

    builder.subject({{"C", "CN"}, {"L", "Beijing"}});
    builder.issuer({{"serialNumber", "1234"}});
    info = infoOf(builder.der());
    EXPECT_EQ(info.subject, u"C=CN, L=Beijing");
    EXPECT_EQ(info.issuer, u"serialNumber=1234");
}

TEST(CertInfo, NamesAreDecodedToUtf16WhateverTheirStringType) {
    TestCertificateBuilder builder;
    builder.subject({{"CN", "张三"}}).issuer({{"O", "北京测试有限公司"}});
    CertInfo info = infoOf(builder.der());
    EXPECT_EQ(info.subject, u"张三");
    EXPECT_EQ(info.issuer, u"北京测试有限公司");

    builder.commonNameOfType(V_ASN1_BMPSTRING, std::string("\x67\x4E\x56\xDB\x00 \x00L\x00i", 10));
    EXPECT_EQ(infoOf(builder.der()).subject, u"李四 Li");

    builder.subject({{"CN", "key \xF0\x9F\x94\x91"}}); // U+1F511 needs a surrogate pair
    EXPECT_EQ(infoOf(builder.der()).subject, u"key \U0001F511");
}

TEST(CertInfo, LongNamesAreCutTo256UnitsWithoutSplittingASurrogatePair) {
    TestCertificateBuilder builder;
    builder.subject({{"CN", std::string(300, 'A')}});
    CertInfo info = infoOf(builder.der());
    EXPECT_EQ(info.subject, std::u16string(256, u'A'));

    builder.subject({{"CN", std::string(255, 'B') + "\xF0\x9F\x94\x91"}});
    EXPECT_EQ(infoOf(builder.der()).subject, std::u16string(255, u'B'));

    builder.commonNameOfType(V_ASN1_T61STRING, "caf\xE9"); // read as Latin-1
    EXPECT_EQ(infoOf(builder.der()).subject, u"café");
    builder.commonNameOfType(V_ASN1_SEQUENCE, std::string("\x30\x03\x02\x01\x05", 5)); // no text
    EXPECT_EQ(infoOf(builder.der()).subject, u"CN=#3003020105");
}

TEST(CertInfo, VersionIsTheX509VersionNumber) {
    TestCertificateBuilder builder;
    EXPECT_EQ(infoOf(builder.der()).version, 3);
    builder.version(0);
    EXPECT_EQ(infoOf(builder.der()).version, 1);
}

TEST(CertInfo, SerialIsUpperCaseHexadecimalOfItsValue) {
    TestCertificateBuilder builder;
    builder.serial({0x01, 0xAB, 0xcd, 0x0f});
    EXPECT_EQ(infoOf(builder.der()).serial, "01ABCD0F");
    builder.serial({0x80, 0x01}); // encoded with a leading zero byte for the sign
    EXPECT_EQ(infoOf(builder.der()).serial, "8001");
    builder.serial({0x00});
    EXPECT_EQ(infoOf(builder.der()).serial, "00");
    builder.serial({0x05}, true);
    EXPECT_EQ(infoOf(builder.der()).serial, "-05");
}

TEST(CertInfo, ValidityGivesNineIntegersInUtc) {
    TestCertificateBuilder builder;
    builder.validity("20240229123456Z", "20501231235959Z"); // UTCTime, then GeneralizedTime
    CertInfo info = infoOf(builder.der());
    EXPECT_EQ(info.validFrom, (quillard::CertDate{2024, 2, 29, 12, 34, 56, 4, 60, 0}));
    EXPECT_EQ(info.validTo, (quillard::CertDate{2050, 12, 31, 23, 59, 59, 6, 365, 0}));

    builder.validity("19990101000000Z", "21060207062816Z");
    info = infoOf(builder.der());
    EXPECT_EQ(info.validFrom, (quillard::CertDate{1999, 1, 1, 0, 0, 0, 5, 1, 0}));
    EXPECT_EQ(info.validTo, (quillard::CertDate{2106, 2, 7, 6, 28, 16, 0, 38, 0}));
}

TEST(CertInfo, AlgorithmIsZeroOnlyForRsaAndEcdsaSignatures) {
    EXPECT_EQ(infoOf(TestCertificateBuilder(TestCertificateBuilder::Signer::Rsa).der()).algorithm, 0);
    EXPECT_EQ(infoOf(TestCertificateBuilder(TestCertificateBuilder::Signer::Ecdsa).der()).algorithm, 0);
    EXPECT_EQ(infoOf(TestCertificateBuilder(TestCertificateBuilder::Signer::Ed25519).der()).algorithm, 1);
}

TEST(CertInfo, BytesThatAreNotExactlyOneCertificateAreRefused) {
    std::vector<uint8_t> der = TestCertificateBuilder().der();
    CertInfo info;
    info.version = 42;
    EXPECT_EQ(readCertInfo(nullptr, der.size(), info), QR_ARGUMENTS_BAD);
    EXPECT_EQ(readCertInfo(der.data(), 0, info), QR_ARGUMENTS_BAD);
    EXPECT_EQ(readCertInfo(der.data(), der.size() - 1, info), QR_ARGUMENTS_BAD);
    std::vector<uint8_t> trailing = der;
    trailing.push_back(0);
    EXPECT_EQ(readCertInfo(trailing.data(), trailing.size(), info), QR_ARGUMENTS_BAD);
    const uint8_t garbage[] = {0x30, 0x03, 0x02, 0x01, 0x01};
    EXPECT_EQ(readCertInfo(garbage, sizeof garbage, info), QR_ARGUMENTS_BAD);
    EXPECT_EQ(info.version, 42);
}
