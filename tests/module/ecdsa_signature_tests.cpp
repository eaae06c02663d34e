// The conversion of OpenSSL's DER-encoded ECDSA signatures to PKCS#11's r || s: numbers shorter than the
// curve's order keep their place (padded on the left), long curves need DER's long length form, and anything
// that is not exactly one SEQUENCE of two positive INTEGERs that fit is refused.
#include "token/lib/openssl_handles.h"
#include "token/module/ecdsa_signature.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ecdsa.h>

namespace {

using quillard::module::EcdsaSignature;
using EcdsaSigPtr = quillard::OpenSslPtr<ECDSA_SIG, ECDSA_SIG_free>;

// The DER form OpenSSL gives to the signature (r, s), each number given as big-endian bytes.
std::vector<uint8_t> derOf(const std::vector<uint8_t>& r, const std::vector<uint8_t>& s) {
    EcdsaSigPtr signature(ECDSA_SIG_new());
    ECDSA_SIG_set0(signature.get(), BN_bin2bn(r.data(), static_cast<int>(r.size()), nullptr),
                   BN_bin2bn(s.data(), static_cast<int>(s.size()), nullptr));
    std::vector<uint8_t> der(static_cast<std::size_t>(i2d_ECDSA_SIG(signature.get(), nullptr)));
    unsigned char* out = der.data();
    i2d_ECDSA_SIG(signature.get(), &out);
    return der;
}

std::vector<uint8_t> concatenated(std::vector<uint8_t> first, const std::vector<uint8_t>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST(EcdsaSignature, NumbersOfEveryLengthTakeTheirPlaceInRAndS) {
    const std::vector<uint8_t> fullR(32, 0xC3); // high bit set: DER adds a zero byte before it
    const std::vector<uint8_t> fullS(32, 0x41);
    EXPECT_EQ(EcdsaSignature::toRaw(derOf(fullR, fullS), 32), concatenated(fullR, fullS));

    std::vector<uint8_t> shortR(32, 0);
    shortR[31] = 1;
    std::vector<uint8_t> shortS(32, 0);
    shortS[21] = 0x80; // eleven bytes, the last 32 - 11 = 21 places on
    EXPECT_EQ(EcdsaSignature::toRaw(derOf({1}, {0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 32),
              concatenated(shortR, shortS));

    // P-521: numbers of 66 bytes make a SEQUENCE longer than 127 bytes.
    const std::vector<uint8_t> longR(66, 0x01);
    const std::vector<uint8_t> longS(66, 0xFF);
    const std::vector<uint8_t> der = derOf(longR, longS);
    ASSERT_EQ(der[1], 0x81);
    EXPECT_EQ(EcdsaSignature::toRaw(der, 66), concatenated(longR, longS));

    const std::vector<uint8_t> raw = concatenated(fullR, fullS);
    EXPECT_EQ(EcdsaSignature::toDer(raw.data(), raw.size()), derOf(fullR, fullS));
}

TEST(EcdsaSignature, RefusesWhatIsNotExactlyOneSignatureThatFits) {
    const std::vector<uint8_t> r(32, 0x11);
    const std::vector<uint8_t> s(32, 0x22);
    const std::vector<uint8_t> good = derOf(r, s);

    EXPECT_TRUE(EcdsaSignature::toRaw(good, 31).empty()) << "numbers longer than the curve's order";
    EXPECT_TRUE(EcdsaSignature::toRaw({}, 32).empty());
    EXPECT_TRUE(EcdsaSignature::toRaw(std::vector<uint8_t>(good.begin(), good.end() - 1), 32).empty());
    EXPECT_TRUE(EcdsaSignature::toRaw(concatenated(good, {0}), 32).empty()) << "a byte after the SEQUENCE";

    auto withByte = [&](std::size_t at, uint8_t value) {
        std::vector<uint8_t> changed = good;
        changed[at] = value;
        return changed;
    };
    EXPECT_TRUE(EcdsaSignature::toRaw(withByte(0, 0x31), 32).empty()) << "a SET, not a SEQUENCE";
    EXPECT_TRUE(EcdsaSignature::toRaw(withByte(2, 0x04), 32).empty()) << "an OCTET STRING, not an INTEGER";
    EXPECT_TRUE(EcdsaSignature::toRaw(withByte(4, 0x91), 32).empty()) << "a negative r";
    EXPECT_TRUE(EcdsaSignature::toRaw(withByte(3, 0x60), 32).empty()) << "r longer than the SEQUENCE";
    EXPECT_TRUE(EcdsaSignature::toRaw(std::vector<uint8_t>{0x30, 0x84, 0, 0, 0, 6}, 32).empty());
}

} // namespace
