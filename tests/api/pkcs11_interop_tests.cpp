// What the tool writes to a SoftHSM2 token is usable by pkcs11-tool and OpenSSL, and what pkcs11-tool writes
// shows up as a container.
#include "tests/common/softhsm_token.h"
#include "tests/common/temp_world.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "tools/demo_credentials.h"

#include <gtest/gtest.h>

#include <fstream>

using softhsm::kUserPin;

namespace {

class Pkcs11InteropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (softhsm::modulePath().empty())
            GTEST_SKIP() << "SoftHSM2 is not installed";
        ASSERT_TRUE(softhsm::initToken("Interop"));
        ASSERT_EQ(init_pkcs11(softhsm::modulePath().c_str()), QR_OK);
        for (int32_t i = 0; i < softhsm::findKeys(); ++i)
            if (softhsm::keyFacts(i).values[8] == 1)
                idx = i;
        int32_t left = 0;
        ASSERT_EQ(token_login(idx, kUserPin, &left), QR_OK);
    }
    void TearDown() override { uninit_pkcs11(); }

    std::string tool(const std::string& arguments) {
        return "pkcs11-tool --module " + softhsm::modulePath() + " --token-label Interop -l --pin " +
               kUserPin + " " + arguments;
    }
    std::string file(const std::string& name) { return (world.root() / name).string(); }

    TempWorld world;
    int32_t idx = 0;
};

} // namespace

TEST_F(Pkcs11InteropTest, AnImportedPkcs12SignsWithPkcs11ToolAndTheSignatureVerifiesWithTheCertificate) {
    auto credential = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Signer");
    ASSERT_TRUE(quillard::demo::writePkcs12File(file("signer.p12"), credential, "pass", false));
    int32_t entries = 0;
    ASSERT_EQ(pkcs12_file_parse(file("signer.p12").c_str(), "pass", &entries), QR_OK);
    ASSERT_EQ(container_create_new(idx, "Signer"), QR_OK);
    ASSERT_EQ(pkcs12_import_certificate(idx, "Signer", 1, 0), QR_OK);

    std::ofstream(file("data.txt")) << "signed by the token\n";
    std::ofstream(file("cert.der"), std::ios::binary)
        .write(reinterpret_cast<const char*>(credential.certificateDer.data()),
               static_cast<std::streamsize>(credential.certificateDer.size()));
    ASSERT_EQ(softhsm::run(tool("--sign --mechanism SHA256-RSA-PKCS --label Signer -i " + file("data.txt") +
                                " -o " + file("data.sig"))),
              0);
    ASSERT_EQ(softhsm::run("openssl x509 -inform DER -in " + file("cert.der") + " -pubkey -noout -out " +
                           file("pub.pem")),
              0);
    EXPECT_EQ(softhsm::run("openssl dgst -sha256 -verify " + file("pub.pem") + " -signature " +
                           file("data.sig") + " " + file("data.txt")),
              0);

    // The private key is sensitive and cannot be taken out (pkcs11-tool would print "extractable").
    std::string listing;
    ASSERT_EQ(softhsm::run(tool("-O --type privkey"), &listing), 0);
    EXPECT_NE(listing.find("Access:     sensitive"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("extractable"), std::string::npos) << listing;
    EXPECT_NE(listing.find("decrypt"), std::string::npos) << "an exchange key: " << listing;
}

TEST_F(Pkcs11InteropTest, AKeyPairAndCertificateWrittenByPkcs11ToolAppearAsAContainer) {
    ASSERT_EQ(softhsm::run(tool("--keypairgen --key-type rsa:2048 --label 'From the tool' --id 0102")), 0);
    auto credential = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Tool cert");
    ASSERT_TRUE(quillard::demo::writeCertificateFile(file("tool.der"), credential, false));
    ASSERT_EQ(softhsm::run(tool("--write-object " + file("tool.der") +
                                " --type cert --label 'From the tool' --id 0102")),
              0);
    ASSERT_EQ(token_reload_all_objects(idx), QR_OK);

    EXPECT_EQ(softhsm::containers(idx), std::vector<std::string>{"From the tool"});
    EXPECT_EQ(softhsm::certificate(idx, "From the tool", 1), credential.certificateDer)
        << "a key that may decrypt makes the exchange pair";
    int32_t algorithm = -1, bits = 0;
    ASSERT_EQ(container_get_prikey(idx, "From the tool", 1, &algorithm, &bits), QR_OK);
    EXPECT_EQ(algorithm, 0);
    EXPECT_EQ(bits, 2048);
    std::vector<uint8_t> spki(4096);
    int32_t length = static_cast<int32_t>(spki.size());
    EXPECT_EQ(container_get_pubkey(idx, "From the tool", 1, &algorithm, &bits, spki.data(), &length), QR_OK);
    EXPECT_EQ(bits, 2048);
    EXPECT_EQ(container_delete(idx, "From the tool"), QR_OK);
    std::string listing;
    ASSERT_EQ(softhsm::run(tool("-O"), &listing), 0);
    EXPECT_EQ(listing.find("From the tool"), std::string::npos) << listing;
}
