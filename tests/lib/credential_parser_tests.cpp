#include "test_certificate_builder.h"
#include "tests/common/temp_world.h"
#include "token/lib/credential_parser.h"
#include "token/lib/openssl_providers.h"
#include "token/lib/quillard_errors.h"
#include "tools/demo_credentials.h"

#include <gtest/gtest.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include <fstream>

using namespace quillard;

namespace {

// A PKCS#12 structure made directly with OpenSSL, for layouts the demo writer does not produce.
void writePkcs12(const std::filesystem::path& path, PKCS12* p12) {
    ASSERT_NE(p12, nullptr);
    unsigned char* der = nullptr;
    int length = i2d_PKCS12(p12, &der);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    PKCS12_free(p12);
}

X509* toX509(const std::vector<uint8_t>& der) {
    const unsigned char* cursor = der.data();
    return d2i_X509(nullptr, &cursor, static_cast<long>(der.size()));
}

// The cipher of the certificate safe and the MAC digest of a PKCS#12 file.
std::pair<int, int> protectionOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    const unsigned char* cursor = bytes.data();
    PKCS12* p12 = d2i_PKCS12(nullptr, &cursor, static_cast<long>(bytes.size()));
    STACK_OF(PKCS7)* safes = PKCS12_unpack_authsafes(p12);
    int cipher = NID_undef;
    for (int i = 0; i < sk_PKCS7_num(safes); ++i) {
        PKCS7* safe = sk_PKCS7_value(safes, i);
        if (PKCS7_type_is_encrypted(safe))
            cipher = OBJ_obj2nid(safe->d.encrypted->enc_data->algorithm->algorithm);
    }
    const X509_ALGOR* macAlgorithm = nullptr;
    PKCS12_get0_mac(nullptr, &macAlgorithm, nullptr, nullptr, p12);
    const ASN1_OBJECT* macObject = nullptr;
    X509_ALGOR_get0(&macObject, nullptr, nullptr, macAlgorithm);
    sk_PKCS7_pop_free(safes, PKCS7_free);
    PKCS12_free(p12);
    return {cipher, OBJ_obj2nid(macObject)};
}

class CredentialParserTest : public ::testing::Test {
protected:
    std::filesystem::path file(const std::string& name) const { return world.root() / name; }

    std::string demoPkcs12(const Credential& credential, const std::string& password, bool legacy) {
        std::filesystem::path path = file(legacy ? "legacy.pfx" : "modern.pfx");
        std::string error;
        EXPECT_TRUE(demo::writePkcs12File(path, credential, password, legacy, &error)) << error;
        return path.string();
    }

    void writeText(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
        writeText(path, std::string(bytes.begin(), bytes.end()));
    }

    TempWorld world;
    static inline Credential rsa = demo::makeSelfSignedCredential(demo::KeyType::Rsa2048, "RSA holder");
    static inline Credential ec = demo::makeSelfSignedCredential(demo::KeyType::EcP256, "EC holder");
};

void expectSameCredential(const Credential& parsed, const Credential& original) {
    EXPECT_EQ(parsed.certificateDer, original.certificateDer);
    EXPECT_EQ(parsed.publicKey.algorithm, original.publicKey.algorithm);
    EXPECT_EQ(parsed.publicKey.bits, original.publicKey.bits);
    EXPECT_EQ(parsed.publicKey.publicKeyDer, original.publicKey.publicKeyDer);
    EXPECT_EQ(parsed.privateKeyDer, original.privateKeyDer);
}

} // namespace

TEST_F(CredentialParserTest, ModernAndLegacyFilesGiveOneEntryWithKeyAndCertificate) {
    ASSERT_TRUE(ensureOpenSslProviders().legacyLoaded) << ensureOpenSslProviders().message;
    for (bool legacy : {false, true}) {
        for (const Credential* credential : {&rsa, &ec}) {
            std::vector<Credential> entries;
            ASSERT_EQ(parsePkcs12File(demoPkcs12(*credential, "pässwort 1", legacy), "pässwort 1", entries),
                      QR_OK);
            ASSERT_EQ(entries.size(), 1u);
            expectSameCredential(entries[0], *credential);
        }
    }
    EXPECT_EQ(rsa.publicKey.algorithm, AlgorithmRsa);
    EXPECT_EQ(rsa.publicKey.bits, 2048);
    EXPECT_EQ(ec.publicKey.algorithm, AlgorithmEcc);
    EXPECT_EQ(ec.publicKey.bits, 256);
}

TEST_F(CredentialParserTest, DemoWriterUsesModernOrLegacyProtection) {
    EXPECT_EQ(protectionOf(demoPkcs12(rsa, "pw", false)), std::make_pair(int(NID_pbes2), int(NID_sha256)));
    EXPECT_EQ(protectionOf(demoPkcs12(rsa, "pw", true)),
              std::make_pair(int(NID_pbe_WithSHA1And40BitRC2_CBC), int(NID_sha1)));
}

TEST_F(CredentialParserTest, WrongPasswordIsToldApartFromAnUnusableFile) {
    for (bool legacy : {false, true}) {
        std::vector<Credential> entries(3);
        EXPECT_EQ(parsePkcs12File(demoPkcs12(ec, "right", legacy), "wrong", entries), QR_WRONG_PASSWORD);
        EXPECT_EQ(parsePkcs12File(demoPkcs12(ec, "right", legacy), "", entries), QR_WRONG_PASSWORD);
        EXPECT_EQ(entries.size(), 3u);
    }
}

TEST_F(CredentialParserTest, EmptyPasswordOpensFilesMadeWithEmptyOrAbsentPassword) {
    std::vector<Credential> entries;
    EXPECT_EQ(parsePkcs12File(demoPkcs12(ec, "", true), "", entries), QR_OK);
    EXPECT_EQ(parsePkcs12File(demoPkcs12(ec, "", false), "x", entries), QR_WRONG_PASSWORD);

    TestCertificateBuilder builder;
    const std::vector<uint8_t> der = builder.der();
    X509* certificate = toX509(der);
    // RC2 is the legacy provider's, which only the library's own context holds.
    writePkcs12(file("absent.pfx"),
                PKCS12_create_ex(nullptr, nullptr, builder.key(), certificate, nullptr,
                                 NID_pbe_WithSHA1And3_Key_TripleDES_CBC, NID_pbe_WithSHA1And40BitRC2_CBC,
                                 1000, 1000, 0, libraryContext(), nullptr));
    X509_free(certificate);
    entries.clear();
    ASSERT_EQ(parsePkcs12File(file("absent.pfx").string(), "", entries), QR_OK);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].certificateDer, der);
}

TEST_F(CredentialParserTest, FileWithoutMacIsCheckedByDecryption) {
    TestCertificateBuilder builder;
    X509* certificate = toX509(builder.der());
    writePkcs12(file("nomac.pfx"),
                PKCS12_create("secret", nullptr, builder.key(), certificate, nullptr, 0, 0, 1000, -1, 0));
    X509_free(certificate);
    std::vector<Credential> entries;
    EXPECT_EQ(parsePkcs12File(file("nomac.pfx").string(), "wrong", entries), QR_WRONG_PASSWORD);
    ASSERT_EQ(parsePkcs12File(file("nomac.pfx").string(), "secret", entries), QR_OK);
    EXPECT_EQ(entries.size(), 1u);
}

TEST_F(CredentialParserTest, CaCertificatesAreNoEntries) {
    TestCertificateBuilder leaf, ca;
    leaf.subject({{"CN", "Leaf"}});
    ca.subject({{"CN", "Root"}});
    const std::vector<uint8_t> leafDer = leaf.der();
    X509* leafCertificate = toX509(leafDer);
    STACK_OF(X509)* chain = sk_X509_new_null();
    sk_X509_push(chain, toX509(ca.der()));
    writePkcs12(file("chain.pfx"),
                PKCS12_create("pw", "leaf", leaf.key(), leafCertificate, chain, 0, 0, 1000, 1000, 0));
    sk_X509_pop_free(chain, X509_free);
    X509_free(leafCertificate);
    std::vector<Credential> entries;
    ASSERT_EQ(parsePkcs12File(file("chain.pfx").string(), "pw", entries), QR_OK);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].certificateDer, leafDer);
}

TEST_F(CredentialParserTest, SeveralKeysArePairedWithTheirCertificatesInKeyOrder) {
    TestCertificateBuilder first(TestCertificateBuilder::Signer::Rsa), second, unrelated;
    first.subject({{"CN", "First"}});
    second.subject({{"CN", "Second"}});
    const std::vector<uint8_t> firstDer = first.der(), secondDer = second.der();
    // Certificates in the opposite order and without localKeyID attributes: pairing must go by public key.
    STACK_OF(PKCS12_SAFEBAG)* certificateBags = nullptr;
    STACK_OF(PKCS12_SAFEBAG)* keyBags = nullptr;
    for (const std::vector<uint8_t>& der : {unrelated.der(), secondDer, firstDer}) {
        X509* certificate = toX509(der);
        PKCS12_add_cert(&certificateBags, certificate);
        X509_free(certificate);
    }
    PKCS12_add_key(&keyBags, first.key(), 0, 1000, -1, nullptr); // plain key bags
    PKCS12_add_key(&keyBags, second.key(), 0, 1000, -1, nullptr);
    STACK_OF(PKCS7)* safes = nullptr;
    PKCS12_add_safe(&safes, certificateBags, NID_pbe_WithSHA1And3_Key_TripleDES_CBC, 1000, "pw");
    PKCS12_add_safe(&safes, keyBags, -1, 0, nullptr);
    PKCS12* p12 = PKCS12_add_safes(safes, 0);
    PKCS12_set_mac(p12, "pw", -1, nullptr, 0, 1000, nullptr);
    writePkcs12(file("two.pfx"), p12);
    sk_PKCS7_pop_free(safes, PKCS7_free);
    sk_PKCS12_SAFEBAG_pop_free(certificateBags, PKCS12_SAFEBAG_free);
    sk_PKCS12_SAFEBAG_pop_free(keyBags, PKCS12_SAFEBAG_free);

    std::vector<Credential> entries;
    ASSERT_EQ(parsePkcs12File(file("two.pfx").string(), "pw", entries), QR_OK);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].certificateDer, firstDer);
    EXPECT_EQ(entries[0].publicKey.algorithm, AlgorithmRsa);
    EXPECT_EQ(entries[1].certificateDer, secondDer);
    EXPECT_EQ(entries[1].publicKey.algorithm, AlgorithmEcc);
    EXPECT_FALSE(entries[1].privateKeyDer.empty());
}

TEST_F(CredentialParserTest, MissingOrUnusableFilesAreReportedAsSuch) {
    std::vector<Credential> entries;
    EXPECT_EQ(parsePkcs12File(file("missing.pfx").string(), "pw", entries), QR_FILE_NOT_FOUND);
    EXPECT_EQ(parsePkcs12File("", "pw", entries), QR_FILE_NOT_FOUND);
    EXPECT_EQ(parsePkcs12File(world.root().string(), "pw", entries), QR_FILE_UNUSABLE);
    writeText(file("empty.pfx"), "");
    EXPECT_EQ(parsePkcs12File(file("empty.pfx").string(), "pw", entries), QR_FILE_UNUSABLE);
    writeText(file("garbage.pfx"), "this is not a PKCS#12 file at all");
    EXPECT_EQ(parsePkcs12File(file("garbage.pfx").string(), "pw", entries), QR_FILE_UNUSABLE);
    ASSERT_TRUE(demo::writeCertificateFile(file("cert.pem"), rsa, true));
    EXPECT_EQ(parsePkcs12File(file("cert.pem").string(), "pw", entries), QR_FILE_UNUSABLE);

    TestCertificateBuilder builder;
    X509* certificate = toX509(builder.der());
    writePkcs12(file("certonly.pfx"),
                PKCS12_create("pw", nullptr, nullptr, certificate, nullptr, 0, 0, 1000, 1000, 0));
    X509_free(certificate);
    EXPECT_EQ(parsePkcs12File(file("certonly.pfx").string(), "pw", entries), QR_FILE_UNUSABLE);
    EXPECT_TRUE(entries.empty());
}

TEST_F(CredentialParserTest, CertificateFilesInDerAndPemGiveCertificateAndPublicKey) {
    for (bool pem : {false, true}) {
        std::filesystem::path path = file(pem ? "ec.pem" : "ec.cer");
        ASSERT_TRUE(demo::writeCertificateFile(path, ec, pem));
        Credential credential;
        ASSERT_EQ(parseCertificateFile(path.string(), credential), QR_OK);
        EXPECT_EQ(credential.certificateDer, ec.certificateDer);
        EXPECT_EQ(credential.publicKey.algorithm, AlgorithmEcc);
        EXPECT_EQ(credential.publicKey.bits, 256);
        EXPECT_EQ(credential.publicKey.publicKeyDer, ec.publicKey.publicKeyDer);
        EXPECT_TRUE(credential.privateKeyDer.empty());
    }
    Credential credential;
    EXPECT_EQ(parseCertificateFile(file("none.cer").string(), credential), QR_FILE_NOT_FOUND);
    writeText(file("garbage.cer"), "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n");
    EXPECT_EQ(parseCertificateFile(file("garbage.cer").string(), credential), QR_FILE_UNUSABLE);
    EXPECT_EQ(parseCertificateFile(demoPkcs12(rsa, "pw", false), credential), QR_FILE_UNUSABLE);
    writeBytes(file("ed.cer"), TestCertificateBuilder(TestCertificateBuilder::Signer::Ed25519).der());
    EXPECT_EQ(parseCertificateFile(file("ed.cer").string(), credential), QR_FUNCTION_NOT_SUPPORTED);
}

TEST(KeyDescription, SubjectPublicKeyInfoGivesAlgorithmAndBits) {
    KeyDescription description;
    TestCertificateBuilder rsaBuilder(TestCertificateBuilder::Signer::Rsa);
    unsigned char* spki = nullptr;
    int length = i2d_PUBKEY(rsaBuilder.key(), &spki);
    std::vector<uint8_t> der(spki, spki + length);
    OPENSSL_free(spki);
    ASSERT_EQ(describePublicKey(der, description), QR_OK);
    EXPECT_EQ(description.algorithm, AlgorithmRsa);
    EXPECT_EQ(description.bits, 2048);
    EXPECT_EQ(description.publicKeyDer, der);

    der.push_back(0);
    EXPECT_EQ(describePublicKey(der, description), QR_ARGUMENTS_BAD);
    EXPECT_EQ(describePublicKey(std::vector<uint8_t>{}, description), QR_ARGUMENTS_BAD);
    TestCertificateBuilder edBuilder(TestCertificateBuilder::Signer::Ed25519);
    EXPECT_EQ(describePublicKey(edBuilder.key(), description), QR_FUNCTION_NOT_SUPPORTED);
}

TEST(OpenSslProviders, MissingLegacyProviderIsReportedAndDefaultStillLoads) {
    TempWorld world; // an empty module folder
    OSSL_LIB_CTX* context = OSSL_LIB_CTX_new();
    ASSERT_TRUE(OSSL_PROVIDER_set_default_search_path(context, world.root().c_str()));
    ProviderStatus status = loadProviders(context);
    OSSL_LIB_CTX_free(context);
    EXPECT_TRUE(status.defaultLoaded);
    EXPECT_FALSE(status.legacyLoaded);
    EXPECT_NE(status.message.find("'legacy'"), std::string::npos) << status.message;
}
