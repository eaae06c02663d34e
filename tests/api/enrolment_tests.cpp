// Enrolment through libquillard's C functions, on a virtual key and on a SoftHSM2 token: key pairs made on
// the key, requests and self-signed certificates that OpenSSL's own tools accept, a CA's certificate
// installed beside its key, and signatures that verify with it.
#include "tests/common/softhsm_token.h"
#include "tests/common/temp_world.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/virtual_key_manager.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

enum class Backend { VirtualKey, SoftHsm };

struct Kind {
    int32_t algorithm;
    int32_t bits;
};

constexpr const char* kSubject =
    "/CN=Alice Example/O=Example Org/OU=Unit 7/L=Berlin/ST=Berlin/C=DE/emailAddress=alice@example.org";
constexpr const char* kAltNames =
    "DNS:host.example.org,email:alice@example.org,IP:192.0.2.7,URI:https://example.org/alice";

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class EnrolmentTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::SoftHsm)
            startOnSoftHsm();
        else
            startOnVirtualKey();
    }
    void TearDown() override { uninit_pkcs11(); }

    void startOnVirtualKey() {
        quillard::VirtualKeySettings settings;
        settings.serial = "ENROL1";
        settings.label = "Enrolment";
        settings.userPolicy = {4, 8, 3};
        settings.soPolicy = {6, 10, 2};
        settings.userPin = "1234";
        settings.soPin = "87654321";
        settings.initialised = true;
        settings.totalMemory = 65536;
        settings.diskBytes = 16 * 2048;
        settings.kdfIterations = 16;
        std::string made, detail;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, made, &detail), QR_OK) << detail;
        ASSERT_EQ(init_pkcs11("zarto_pkcs11.dll"), QR_OK);
        ASSERT_EQ(softhsm::findKeys(), 1);
        idx = 0;
        int32_t left = 0;
        ASSERT_EQ(token_login(idx, "1234", &left), QR_OK);
    }

    void startOnSoftHsm() {
        if (softhsm::modulePath().empty())
            GTEST_SKIP() << "SoftHSM2 is not installed";
        ASSERT_TRUE(softhsm::initToken("Enrolment"));
        ASSERT_EQ(init_pkcs11(softhsm::modulePath().c_str()), QR_OK);
        const int32_t count = softhsm::findKeys();
        for (int32_t i = 0; i < count; ++i)
            if (softhsm::keyFacts(i).values[8] == 1)
                idx = i;
        ASSERT_GE(idx, 0);
        int32_t left = 0;
        ASSERT_EQ(token_login(idx, softhsm::kUserPin, &left), QR_OK);
    }

    std::vector<Kind> offeredKinds() {
        int32_t algorithms[5] = {}, bits[5] = {}, count = 5;
        EXPECT_EQ(token_get_keygen_algorithms(idx, algorithms, bits, &count), QR_OK);
        std::vector<Kind> kinds;
        for (int32_t i = 0; i < count; ++i)
            kinds.push_back({algorithms[i], bits[i]});
        return kinds;
    }

    Bytes document(bool selfSigned, const std::string& container, int32_t spec,
                   const char* subject = kSubject, const char* altNames = kAltNames,
                   int32_t usage = QUILLARD_USAGE_CLIENT, int32_t* result = nullptr) {
        const TCertRequest request{subject, altNames, usage, 30};
        Bytes der(16384);
        int32_t length = static_cast<int32_t>(der.size());
        const int32_t made =
            selfSigned
                ? container_build_self_signed(idx, container.c_str(), spec, &request, der.data(), &length)
                : container_build_request(idx, container.c_str(), spec, &request, der.data(), &length);
        if (result)
            *result = made;
        else
            EXPECT_EQ(made, QR_OK) << quillard_error_name(made);
        der.resize(made == QR_OK ? static_cast<std::size_t>(length) : 0);
        return der;
    }

    // Runs an OpenSSL command in the world's folder; its exit status, with what it printed in `output`.
    int openssl(const std::string& arguments, std::string* output = nullptr) {
        return softhsm::run(
            "cd " + softhsm::quoted(world.root().string()) + " && openssl " + arguments + " 2>&1", output);
    }

    Bytes issueWithTestCa(const Bytes& requestDer) {
        writeFile(world.root() / "request.der", requestDer);
        EXPECT_EQ(openssl("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key "
                          "-out ca.pem -subj /CN=Test\\ CA -days 2"),
                  0);
        EXPECT_EQ(openssl("req -inform DER -in request.der -out request.pem"), 0);
        EXPECT_EQ(openssl("x509 -req -in request.pem -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 "
                          "-copy_extensions copy -outform DER -out issued.der"),
                  0);
        return readFile(world.root() / "issued.der");
    }

    Bytes certificateAt(const std::string& container, int32_t spec) {
        Bytes der(8192);
        int32_t length = static_cast<int32_t>(der.size());
        if (container_get_cert(idx, container.c_str(), spec, der.data(), &length) != QR_OK)
            return {};
        der.resize(static_cast<std::size_t>(length));
        return der;
    }

    TempWorld world;
    int32_t idx = -1;
};

bool verifies(const Bytes& certificateDer, const Bytes& data, const Bytes& signature) {
    const unsigned char* cursor = certificateDer.data();
    X509* certificate = d2i_X509(nullptr, &cursor, static_cast<long>(certificateDer.size()));
    if (!certificate)
        return false;
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    const EVP_MD* md = EVP_PKEY_get_bits(key) == 384 ? EVP_sha384() : EVP_sha256();
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool good =
        EVP_DigestVerifyInit(context, nullptr, md, nullptr, key) == 1 &&
        EVP_DigestVerify(context, signature.data(), signature.size(), data.data(), data.size()) == 1;
    EVP_MD_CTX_free(context);
    X509_free(certificate);
    return good;
}

TEST_P(EnrolmentTest, EveryOfferedKindGeneratesOnTheKeyAndItsRequestCarriesWhatWasAskedFor) {
    const std::vector<Kind> kinds = offeredKinds();
    if (GetParam() == Backend::VirtualKey) {
        EXPECT_EQ(kinds.size(), 5u) << "the virtual key makes RSA 2048, 3072, 4096 and EC P-256, P-384";
    }
    ASSERT_GE(kinds.size(), 2u) << "SoftHSM2 makes RSA and EC pairs";
    for (const Kind& kind : kinds) {
        const std::string container =
            "pair " + std::to_string(kind.algorithm) + "-" + std::to_string(kind.bits);
        SCOPED_TRACE(container);
        ASSERT_EQ(container_generate_keypair(idx, container.c_str(), 1, kind.algorithm, kind.bits), QR_OK);
        int32_t algorithm = -1, bits = 0;
        ASSERT_EQ(container_get_prikey(idx, container.c_str(), 1, &algorithm, &bits), QR_OK);
        EXPECT_EQ(algorithm, kind.algorithm);
        EXPECT_EQ(bits, kind.bits);
        EXPECT_TRUE(certificateAt(container, 1).empty()) << "a fresh pair has no certificate yet";

        writeFile(world.root() / "request.der", document(false, container, 1));
        std::string text;
        // openssl req -verify ends with a failure status when the request's signature does not verify.
        ASSERT_EQ(openssl("req -inform DER -in request.der -verify -noout -text", &text), 0) << text;
        EXPECT_NE(
            text.find("CN = Alice Example, O = Example Org, OU = Unit 7, L = Berlin, ST = Berlin, C = DE"),
            std::string::npos)
            << text;
        for (const char* expected :
             {"DNS:host.example.org", "email:alice@example.org", "IP Address:192.0.2.7",
              "URI:https://example.org/alice", "TLS Web Client Authentication", "Digital Signature"})
            EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
        const char* signature = kind.algorithm == 0 ? "sha256WithRSAEncryption"
                                : kind.bits == 384  ? "ecdsa-with-SHA384"
                                                    : "ecdsa-with-SHA256";
        EXPECT_NE(text.find(signature), std::string::npos) << text;
    }
}

TEST_P(EnrolmentTest, AnIssuedCertificateGoesBesideItsKeyPairAndSignaturesVerifyWithIt) {
    ASSERT_EQ(container_generate_keypair(idx, "Other", 1, 3, 256), QR_OK);
    ASSERT_EQ(container_generate_keypair(idx, "Issued", 2, 3, 256), QR_OK);
    const Bytes issued = issueWithTestCa(document(false, "Issued", 2));
    ASSERT_FALSE(issued.empty());

    char container[256] = {};
    int32_t spec = 0;
    ASSERT_EQ(container_install_cert(idx, issued.data(), static_cast<int32_t>(issued.size()), container,
                                     sizeof container, &spec),
              QR_OK);
    EXPECT_STREQ(container, "Issued");
    EXPECT_EQ(spec, 2);
    EXPECT_EQ(certificateAt("Issued", 2), issued);
    EXPECT_TRUE(certificateAt("Other", 1).empty());

    const Bytes data{'s', 'i', 'g', 'n', ' ', 'm', 'e'};
    Bytes signature(512);
    int32_t length = static_cast<int32_t>(signature.size());
    ASSERT_EQ(container_sign_data(idx, "Issued", 2, data.data(), static_cast<int32_t>(data.size()),
                                  signature.data(), &length),
              QR_OK);
    signature.resize(static_cast<std::size_t>(length));
    EXPECT_TRUE(verifies(issued, data, signature));

    // The CA's own certificate belongs to no key pair on the key: refused, and nothing changes.
    ASSERT_EQ(openssl("x509 -in ca.pem -outform DER -out ca.der"), 0);
    const Bytes foreign = readFile(world.root() / "ca.der");
    EXPECT_EQ(container_install_cert(idx, foreign.data(), static_cast<int32_t>(foreign.size()), container,
                                     sizeof container, &spec),
              QR_NO_MATCHING_KEY);
    EXPECT_EQ(certificateAt("Issued", 2), issued);
    EXPECT_TRUE(certificateAt("Other", 1).empty());
    std::vector<std::string> names = softhsm::containers(idx);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Issued", "Other"}));
}

TEST_P(EnrolmentTest, ASelfSignedCertificateVerifiesWithItself) {
    ASSERT_EQ(container_generate_keypair(idx, "Self", 1, 0, 2048), QR_OK);
    writeFile(world.root() / "self.der", document(true, "Self", 1, "/CN=Self \\/ Signed/C=CN", "", 2));
    ASSERT_EQ(openssl("x509 -inform DER -in self.der -out self.pem"), 0);
    std::string output;
    EXPECT_EQ(openssl("verify -check_ss_sig -CAfile self.pem self.pem", &output), 0) << output;
    ASSERT_EQ(openssl("x509 -in self.pem -noout -subject -ext extendedKeyUsage", &output), 0);
    EXPECT_NE(output.find("CN = Self / Signed, C = CN"), std::string::npos) << output;
    EXPECT_NE(output.find("TLS Web Server Authentication"), std::string::npos) << output;
}

TEST_P(EnrolmentTest, BadRequestsAndTakenPlacesAreRefusedAndChangeNothing) {
    ASSERT_EQ(container_generate_keypair(idx, "Taken", 2, 3, 256), QR_OK);
    EXPECT_EQ(container_generate_keypair(idx, "Taken", 2, 0, 2048), QR_CONTAINER_EXISTS);
    EXPECT_EQ(container_generate_keypair(idx, "Small", 2, 0, 1024), QR_ARGUMENTS_BAD);
    EXPECT_EQ(softhsm::containers(idx), std::vector<std::string>{"Taken"});
    int32_t result = QR_OK;
    for (const char* subject :
         {"CN=no leading slash", "/CN=", "/NOSUCHATTRIBUTE=x", "/C=Germany", "/CN=a\\"}) {
        document(false, "Taken", 2, subject, "", 1, &result);
        EXPECT_EQ(result, QR_ARGUMENTS_BAD) << subject;
    }
    document(false, "Taken", 2, kSubject, "bogus:thing", 1, &result);
    EXPECT_EQ(result, QR_ARGUMENTS_BAD);
    document(false, "Taken", 2, kSubject, "", 17, &result);
    EXPECT_EQ(result, QR_ARGUMENTS_BAD);
    document(false, "Taken", 1, kSubject, "", 1, &result);
    EXPECT_NE(result, QR_OK) << "no pair in the exchange place";
    ASSERT_EQ(token_logout(idx), QR_OK);
    EXPECT_EQ(container_generate_keypair(idx, "Later", 1, 3, 256), QR_USER_NOT_LOGGED_IN);
}

INSTANTIATE_TEST_SUITE_P(Keys, EnrolmentTest, ::testing::Values(Backend::VirtualKey, Backend::SoftHsm),
                         [](const ::testing::TestParamInfo<Backend>& info) {
                             return info.param == Backend::VirtualKey ? "VirtualKey" : "SoftHsm";
                         });

} // namespace
