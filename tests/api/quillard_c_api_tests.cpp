// The shared libquillard through its exported C functions, on virtual keys of a private world: buffers,
// lengths, the module choice, the PKCS#12 import flow, the store and the display handler.
#include "tests/common/temp_world.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/demo_credentials.h"

#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kUserPin = "1234";
constexpr const char* kSoPin = "87654321";

class CApiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(init_pkcs11("zarto_pkcs11.dll"), QR_OK); }
    void TearDown() override { uninit_pkcs11(); }

    void createKey(const std::string& serial, bool initialised = true, int64_t memory = 16384) {
        quillard::VirtualKeySettings settings;
        settings.serial = serial;
        settings.label = "Key " + serial;
        settings.userPolicy = {4, 8, 3};
        settings.soPolicy = {6, 10, 2};
        if (initialised) {
            settings.userPin = kUserPin;
            settings.soPin = kSoPin;
        }
        settings.initialised = initialised;
        settings.totalMemory = memory;
        settings.diskBytes = 16 * 2048;
        settings.kdfIterations = 16;
        std::string made;
        std::string detail;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, made, &detail), QR_OK) << detail;
    }

    int32_t findKeys() {
        int32_t list[32] = {};
        int32_t count = 32;
        EXPECT_EQ(token_find(list, &count), QR_OK);
        for (int32_t i = 0; i < count; ++i)
            EXPECT_EQ(token_connect(i), QR_OK);
        return count;
    }

    std::vector<std::string> containers(int32_t idx) {
        std::vector<char> buffer(8192);
        int32_t length = static_cast<int32_t>(buffer.size());
        EXPECT_EQ(container_load_all(idx, buffer.data(), &length), QR_OK);
        std::vector<std::string> names;
        for (int32_t start = 0; start < length;) {
            std::string name(buffer.data() + start);
            start += static_cast<int32_t>(name.size()) + 1;
            names.push_back(name);
        }
        return names;
    }

    std::filesystem::path writePkcs12(const quillard::demo::KeyType type, const std::string& password,
                                      bool legacy) {
        auto path = world.root() / ("cred-" + std::to_string(fileCounter++) + ".p12");
        auto credential = quillard::demo::makeSelfSignedCredential(type, "张三 Test");
        std::string error;
        EXPECT_TRUE(quillard::demo::writePkcs12File(path, credential, password, legacy, &error)) << error;
        return path;
    }

    TempWorld world;
    int fileCounter = 0;
};

} // namespace

TEST(CApiModule, TheMakerModuleNameInAnyFormSelectsTheVirtualKeys) {
    TempWorld world;
    for (const char* name :
         {"zarto_pkcs11.dll", "ZARTO_PKCS11.DLL", "/opt/x/zarto_pkcs11.so", "zarto_pkcs11"}) {
        EXPECT_EQ(init_pkcs11(name), QR_OK) << name;
        EXPECT_EQ(init_pkcs11(name), QR_CRYPTOKI_ALREADY_INITIALIZED);
        EXPECT_EQ(uninit_pkcs11(), QR_OK);
    }
    EXPECT_EQ(init_pkcs11("no_such_module.so"), QR_MODULE_NOT_FOUND);
    EXPECT_EQ(init_pkcs11(""), QR_ARGUMENTS_BAD);
    int32_t list[32], count = 32;
    EXPECT_EQ(token_find(list, &count), QR_CRYPTOKI_NOT_INITIALIZED);
    EXPECT_STREQ(quillard_error_name(QR_MODULE_NOT_FOUND), "QR_MODULE_NOT_FOUND");
    EXPECT_STREQ(quillard_error_name(0xA0), "CKR_PIN_INCORRECT");
    EXPECT_STREQ(quillard_error_name(0x12345), "UNKNOWN");
}

TEST_F(CApiTest, FindWithoutKeysSucceedsWithCountZero) {
    int32_t list[32] = {};
    int32_t count = 32;
    EXPECT_EQ(token_find(list, &count), QR_OK);
    EXPECT_EQ(count, 0);
}

TEST_F(CApiTest, InformationFillsTheCallersFieldsInOrder) {
    createKey("SNB");
    createKey("SNA", false);
    ASSERT_EQ(findKeys(), 2);

    char serial[33], label[129], manufacturer[65], model[65];
    int32_t v[9];
    ASSERT_EQ(token_get_info(0, serial, label, manufacturer, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                             &v[6], &v[7], &v[8]),
              QR_OK);
    EXPECT_STREQ(serial, "SNA") << "keys come in serial order";
    EXPECT_EQ(v[8], 0) << "a blank key is not initialised";
    ASSERT_EQ(token_get_info(1, serial, label, manufacturer, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                             &v[6], &v[7], &v[8]),
              QR_OK);
    EXPECT_STREQ(serial, "SNB");
    EXPECT_STREQ(label, "Key SNB");
    EXPECT_EQ(v[0], 8);
    EXPECT_EQ(v[1], 4);
    EXPECT_EQ(v[3], 6);
    EXPECT_EQ(v[4], 16384);
    EXPECT_LE(v[5], v[4]);
    EXPECT_EQ(v[8], 1);
}

TEST_F(CApiTest, WrongPinsCountDownToTheLock) {
    createKey("SN1");
    ASSERT_EQ(findKeys(), 1);
    int32_t left = -1;
    EXPECT_EQ(token_login(0, "9999", &left), QR_PIN_INCORRECT);
    EXPECT_EQ(left, 2);
    int32_t s[6];
    ASSERT_EQ(token_get_pin_state(0, 1, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]), QR_OK);
    EXPECT_EQ(s[0], 2);
    EXPECT_EQ(s[1], 3);
    EXPECT_EQ(s[4], 0);
    EXPECT_EQ(token_login(0, kUserPin, &left), QR_OK);
    EXPECT_EQ(left, 3);
    token_logout(0);
    for (int i = 0; i < 3; ++i)
        token_login(0, "0000", &left);
    EXPECT_EQ(token_login(0, kUserPin, &left), QR_PIN_LOCKED);
    EXPECT_EQ(left, 0);
    ASSERT_EQ(token_get_pin_state(0, 1, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]), QR_OK);
    EXPECT_EQ(s[4], 1);

    EXPECT_EQ(token_set_upin(0, kSoPin, "5678"), QR_OK);
    EXPECT_EQ(token_login(0, "5678", &left), QR_OK);
}

TEST_F(CApiTest, LabelBufferMustHoldFewerThanThirtyTwoBytes) {
    createKey("SN1");
    ASSERT_EQ(findKeys(), 1);
    char buffer[64] = {};
    std::memset(buffer, 'a', 32);
    EXPECT_EQ(token_set_label(0, buffer), QR_ARGUMENTS_BAD);
    buffer[31] = 0;
    EXPECT_EQ(token_set_label(0, buffer), QR_OK);
    std::strcpy(buffer, "十个汉字十个汉字十个");
    EXPECT_EQ(token_set_label(0, buffer), QR_OK);
    char serial[33], label[129], manufacturer[65], model[65];
    int32_t v[9];
    token_get_info(0, serial, label, manufacturer, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                   &v[7], &v[8]);
    EXPECT_STREQ(label, "十个汉字十个汉字十个");
}

TEST_F(CApiTest, FormatBlockSetsPoliciesAndPins) {
    createKey("SN1");
    ASSERT_EQ(findKeys(), 1);
    TFormatParams params{};
    static_assert(sizeof(TFormatParams) == 166);
    std::strcpy(params.label, "Formatted");
    std::strcpy(params.manufacturer, "Maker");
    std::strcpy(params.issuer, "Issuer");
    std::strcpy(params.so_pin, "so-secret");
    std::strcpy(params.user_pin, "newuser");
    params.user_pin_retries = 15;
    params.so_pin_retries = 5;
    params.user_pin_min_len = 6;
    params.user_pin_max_len = 12;
    params.so_pin_min_len = 4;
    params.so_pin_max_len = 16;
    EXPECT_EQ(token_format(0, &params), QR_USER_NOT_LOGGED_IN) << "an initialised key needs the SO first";
    int32_t left = 0;
    ASSERT_EQ(token_login_so(0, kSoPin, &left), QR_OK);
    // A text with more after its zero byte would reach the key cut short: refused, not cut.
    std::memcpy(params.user_pin, "1234\0 5678", 10);
    EXPECT_EQ(token_format(0, &params), QR_ARGUMENTS_BAD);
    std::memset(params.user_pin, 0, sizeof params.user_pin);
    std::strcpy(params.user_pin, "newuser");
    std::memset(params.label + 20, 'x', 2);
    EXPECT_EQ(token_format(0, &params), QR_ARGUMENTS_BAD);
    std::memset(params.label + 20, 0, 2);
    ASSERT_EQ(token_format(0, &params), QR_OK);

    int32_t s[6];
    token_get_pin_state(0, 1, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]);
    EXPECT_EQ(s[1], 15);
    EXPECT_EQ(s[2], 6);
    EXPECT_EQ(s[3], 12);
    EXPECT_EQ(token_login(0, "newuser", &left), QR_OK);
    EXPECT_EQ(token_change_upin(0, "newuser", "abc"), QR_PIN_LEN_RANGE);
}

TEST_F(CApiTest, ContainersAndCertificatesThroughCallerBuffers) {
    createKey("SN1");
    ASSERT_EQ(findKeys(), 1);
    EXPECT_EQ(container_create_new(0, "needs login"), QR_USER_NOT_LOGGED_IN);
    int32_t left = 0;
    ASSERT_EQ(token_login(0, kUserPin, &left), QR_OK);
    ASSERT_EQ(container_create_new(0, "with space "), QR_OK);
    ASSERT_EQ(container_create_new(0, "second"), QR_OK);
    EXPECT_EQ(container_create_new(0, "second"), QR_CONTAINER_EXISTS);
    EXPECT_EQ(containers(0), (std::vector<std::string>{"with space ", "second"}));

    char tiny[4];
    int32_t length = sizeof tiny;
    EXPECT_EQ(container_load_all(0, tiny, &length), QR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 19);

    auto p12 = writePkcs12(quillard::demo::KeyType::EcP256, "pw", false);
    int32_t entries = 0;
    EXPECT_EQ(pkcs12_file_parse(p12.c_str(), "wrong", &entries), QR_WRONG_PASSWORD);
    EXPECT_EQ(pkcs12_import_certificate(0, "second", 2, 0), QR_OPERATION_NOT_INITIALIZED)
        << "a failed parse keeps nothing to import";
    ASSERT_EQ(pkcs12_file_parse(p12.c_str(), "pw", &entries), QR_OK);
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(pkcs12_import_certificate(0, "second", 2, 1), QR_ARGUMENTS_BAD);
    ASSERT_EQ(pkcs12_import_certificate(0, "second", 2, 0), QR_OK);

    std::vector<uint8_t> cert(65536);
    length = static_cast<int32_t>(cert.size());
    ASSERT_EQ(container_get_cert(0, "second", 2, cert.data(), &length), QR_OK);
    EXPECT_EQ(container_get_cert(0, "second", 1, cert.data(), &length), QR_OBJECT_HANDLE_INVALID);
    int32_t small = 10;
    EXPECT_EQ(container_get_cert(0, "second", 2, cert.data(), &small), QR_BUFFER_TOO_SMALL);
    EXPECT_EQ(small, length);

    int32_t algorithm = -1, bits = 0;
    std::vector<uint8_t> blob(65536);
    int32_t blobLength = static_cast<int32_t>(blob.size());
    ASSERT_EQ(container_get_pubkey(0, "second", 2, &algorithm, &bits, blob.data(), &blobLength), QR_OK);
    EXPECT_EQ(algorithm, 3);
    EXPECT_EQ(bits, 256);
    EXPECT_EQ(container_get_prikey(0, "second", 2, &algorithm, &bits), QR_OK);
    EXPECT_EQ(container_get_prikey(0, "second", 3, &algorithm, &bits), QR_ARGUMENTS_BAD);

    uint16_t subject[257], issuer[257];
    char serial[257];
    int32_t version = 0, from[9], to[9];
    ASSERT_EQ(
        helper_get_cert_info2(cert.data(), length, subject, issuer, &version, serial, from, to, &algorithm),
        QR_OK);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(subject)), u"张三 Test");
    EXPECT_EQ(version, 3);
    EXPECT_EQ(algorithm, 0);
    EXPECT_EQ(to[0] - from[0], 1);
    EXPECT_EQ(helper_get_cert_info2(cert.data(), 5, subject, issuer, &version, serial, from, to, &algorithm),
              QR_ARGUMENTS_BAD);

    EXPECT_EQ(container_delete_cert(0, "second", 2), QR_OK);
    EXPECT_EQ(container_get_cert(0, "second", 2, cert.data(), &length), QR_OBJECT_HANDLE_INVALID);
    EXPECT_EQ(container_delete(0, "with space "), QR_OK);
    EXPECT_EQ(containers(0), (std::vector<std::string>{"second"}));
}

TEST_F(CApiTest, LegacyAndCertificateOnlyImports) {
    createKey("SN1");
    ASSERT_EQ(findKeys(), 1);
    int32_t left = 0, entries = 0;
    ASSERT_EQ(token_login(0, kUserPin, &left), QR_OK);
    ASSERT_EQ(container_create_new(0, "c"), QR_OK);
    auto legacy = writePkcs12(quillard::demo::KeyType::Rsa2048, "old", true);
    ASSERT_EQ(pkcs12_file_parse(legacy.c_str(), "old", &entries), QR_OK);
    ASSERT_EQ(pkcs12_import_certificate(0, "c", 1, 0), QR_OK);

    auto credential = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Only cert");
    auto pem = world.root() / "only.cer";
    ASSERT_TRUE(quillard::demo::writeCertificateFile(pem, credential, true));
    ASSERT_EQ(x509_import_certificate(0, "c", 2, pem.c_str()), QR_OK);
    int32_t algorithm = 0, bits = 0;
    EXPECT_EQ(container_get_prikey(0, "c", 2, &algorithm, &bits), QR_OBJECT_HANDLE_INVALID);
    EXPECT_EQ(container_get_prikey(0, "c", 1, &algorithm, &bits), QR_OK);
    EXPECT_EQ(bits, 2048);
    EXPECT_EQ(x509_import_certificate(0, "c", 2, (world.root() / "missing.cer").c_str()), QR_FILE_NOT_FOUND);
}

TEST_F(CApiTest, AnImportThatDoesNotFitKeepsNothing) {
    createKey("SN1", true, 1500);
    ASSERT_EQ(findKeys(), 1);
    int32_t left = 0, entries = 0;
    ASSERT_EQ(token_login(0, kUserPin, &left), QR_OK);
    ASSERT_EQ(container_create_new(0, "c"), QR_OK);
    char serial[33], label[129], manufacturer[65], model[65];
    int32_t before[9], after[9];
    token_get_info(0, serial, label, manufacturer, model, &before[0], &before[1], &before[2], &before[3],
                   &before[4], &before[5], &before[6], &before[7], &before[8]);
    auto p12 = writePkcs12(quillard::demo::KeyType::Rsa2048, "pw", false);
    ASSERT_EQ(pkcs12_file_parse(p12.c_str(), "pw", &entries), QR_OK);
    EXPECT_EQ(pkcs12_import_certificate(0, "c", 1, 0), QR_OUT_OF_SPACE);
    token_get_info(0, serial, label, manufacturer, model, &after[0], &after[1], &after[2], &after[3],
                   &after[4], &after[5], &after[6], &after[7], &after[8]);
    EXPECT_EQ(after[5], before[5]);
    std::vector<uint8_t> cert(65536);
    int32_t length = static_cast<int32_t>(cert.size());
    EXPECT_EQ(container_get_cert(0, "c", 1, cert.data(), &length), QR_OBJECT_HANDLE_INVALID);
}

TEST_F(CApiTest, ARemovedKeyAnswersDeviceRemovedUntilFoundAgain) {
    createKey("SN1");
    ASSERT_EQ(findKeys(), 1);
    quillard::VirtualKeyManager manager;
    ASSERT_EQ(manager.unplug("SN1"), QR_OK);
    int32_t s[6] = {7, 7, 7, 7, 7, 7};
    EXPECT_EQ(token_get_pin_state(0, 1, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]), QR_DEVICE_REMOVED);
    int32_t left = 0;
    EXPECT_EQ(token_login(0, kUserPin, &left), QR_DEVICE_REMOVED);
    EXPECT_EQ(findKeys(), 0);
    ASSERT_EQ(manager.plug("SN1"), QR_OK);
    EXPECT_EQ(findKeys(), 1);
    EXPECT_EQ(token_login(0, kUserPin, &left), QR_OK);
}

TEST_F(CApiTest, StoreRegistrationAndRemovalByProvider) {
    auto credential = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Store");
    const auto& der = credential.certificateDer;
    EXPECT_EQ(container_addcert_to_store("c", "CSP A", 1, der.data(), static_cast<int32_t>(der.size())),
              QR_OK);
    EXPECT_EQ(container_addcert_to_store("c", "CSP A", 3, der.data(), static_cast<int32_t>(der.size())),
              QR_ARGUMENTS_BAD);
    EXPECT_EQ(remove_all_certs_from_store("CSP A"), QR_OK);
    EXPECT_TRUE(std::filesystem::exists(world.dataHome() / "Norvale" / "PellorZu" / "certstore.db"));
}

TEST_F(CApiTest, CertificatesAreShownByTheRegisteredHandler) {
    const uint8_t cert[] = {0x30, 0x01, 0x00};
    EXPECT_EQ(helper_show_cert_ui(nullptr, cert, 3), QR_NO_DISPLAY_HANDLER);
    struct Seen {
        void* owner = nullptr;
        int32_t length = 0;
    } seen;
    quillard_set_cert_display_handler(
        [](void* owner, const uint8_t*, int32_t length, void* context) -> int32_t {
            auto* record = static_cast<Seen*>(context);
            record->owner = owner;
            record->length = length;
            return 0;
        },
        &seen);
    int owner = 0;
    EXPECT_EQ(helper_show_cert_ui(&owner, cert, 3), QR_OK);
    EXPECT_EQ(seen.owner, &owner);
    EXPECT_EQ(seen.length, 3);
    quillard_set_cert_display_handler(nullptr, nullptr);
}

TEST_F(CApiTest, AWorkerThreadAndTheWindowThreadMayCallAtOnce) {
    createKey("SN1");
    ASSERT_EQ(findKeys(), 1);
    int32_t left = 0;
    ASSERT_EQ(token_login(0, kUserPin, &left), QR_OK);
    std::thread worker([] {
        for (int i = 0; i < 20; ++i)
            container_create_new(0, ("w" + std::to_string(i)).c_str());
    });
    for (int i = 0; i < 50; ++i) {
        int32_t s[6];
        EXPECT_EQ(token_get_pin_state(0, 1, &s[0], &s[1], &s[2], &s[3], &s[4], &s[5]), QR_OK);
    }
    worker.join();
    EXPECT_EQ(containers(0).size(), 20u);
}

namespace {

std::string certText(const std::vector<uint8_t>& der, int32_t field) {
    std::vector<char> buffer(16384);
    int32_t length = static_cast<int32_t>(buffer.size());
    EXPECT_EQ(
        helper_get_cert_text(der.data(), static_cast<int32_t>(der.size()), field, buffer.data(), &length),
        QR_OK);
    return std::string(buffer.data(), length > 0 ? std::size_t(length - 1) : 0);
}

} // namespace

TEST_F(CApiTest, CertificateTextsForTheViewer) {
    auto credential = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "张三 Test");
    const std::vector<uint8_t>& der = credential.certificateDer;
    EXPECT_NE(certText(der, QUILLARD_CERT_SUBJECT).find("CN = 张三 Test"), std::string::npos)
        << certText(der, QUILLARD_CERT_SUBJECT);
    EXPECT_EQ(certText(der, QUILLARD_CERT_KEY_ALGORITHM), "EC P-256");
    EXPECT_EQ(certText(der, QUILLARD_CERT_KEY_BITS), "256");
    EXPECT_EQ(certText(der, QUILLARD_CERT_KEY_USAGE), "Digital Signature, Key Agreement");
    EXPECT_EQ(certText(der, QUILLARD_CERT_EXTENDED_KEY_USAGE), "") << "the demo certificate carries none";
    EXPECT_EQ(certText(der, QUILLARD_CERT_SHA256).size(), 32u * 3 - 1);
    EXPECT_NE(certText(der, QUILLARD_CERT_DETAILS).find("X509v3 Subject Key Identifier"), std::string::npos);
    EXPECT_EQ(certText(der, QUILLARD_CERT_PEM).rfind("-----BEGIN CERTIFICATE-----\n", 0), 0u);

    // Asking with too small a buffer gives the size needed, NUL included.
    char tiny[2];
    int32_t length = sizeof tiny;
    const auto size = static_cast<int32_t>(der.size());
    EXPECT_EQ(helper_get_cert_text(der.data(), size, QUILLARD_CERT_KEY_BITS, tiny, &length),
              QR_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 4);
    length = 0;
    // The key ID: SHA-1 of the public key, 20 bytes as 40 hexadecimal digits.
    char keyId[64];
    length = sizeof keyId;
    ASSERT_EQ(helper_get_cert_text(der.data(), size, QUILLARD_CERT_KEY_ID, keyId, &length), QR_OK);
    EXPECT_EQ(length, 41);
    EXPECT_EQ(std::string(keyId).find_first_not_of("0123456789ABCDEF"), std::string::npos) << keyId;
    length = 0;
    EXPECT_EQ(helper_get_cert_text(der.data(), size, QUILLARD_CERT_KEY_ID + 1, nullptr, &length),
              QR_ARGUMENTS_BAD);
    EXPECT_EQ(helper_get_cert_text(der.data(), size - 1, QUILLARD_CERT_SUBJECT, nullptr, &length),
              QR_ARGUMENTS_BAD);
    std::vector<uint8_t> trailing = der;
    trailing.push_back(0);
    EXPECT_EQ(helper_get_cert_text(trailing.data(), size + 1, QUILLARD_CERT_SUBJECT, nullptr, &length),
              QR_ARGUMENTS_BAD);
}

TEST_F(CApiTest, APkcs12FileWithoutAKeyPairParsesWithNoEntries) {
    auto credential = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Only cert");
    const unsigned char* cursor = credential.certificateDer.data();
    X509* certificate = d2i_X509(nullptr, &cursor, long(credential.certificateDer.size()));
    PKCS12* p12 = PKCS12_create("pw", nullptr, nullptr, certificate, nullptr, 0, 0, 1000, 1000, 0);
    const auto path = world.root() / "certonly.pfx";
    BIO* file = BIO_new_file(path.c_str(), "wb");
    ASSERT_EQ(i2d_PKCS12_bio(file, p12), 1);
    BIO_free(file);
    PKCS12_free(p12);
    X509_free(certificate);

    int32_t entries = -1;
    EXPECT_EQ(pkcs12_file_parse(path.c_str(), "wrong", &entries), QR_WRONG_PASSWORD);
    ASSERT_EQ(pkcs12_file_parse(path.c_str(), "pw", &entries), QR_OK);
    EXPECT_EQ(entries, 0);
    EXPECT_EQ(pkcs12_import_certificate(0, "c", 1, 0), QR_OPERATION_NOT_INITIALIZED) << "nothing is kept";
}
