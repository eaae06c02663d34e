#include "test_certificate_builder.h"
#include "tests/common/temp_world.h"
#include "token/lib/cert_store.h"
#include "token/lib/quillard_errors.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <fstream>

using quillard::CertStore;
using quillard::CertStoreEntry;

namespace {

const std::string Csp = "Norvale Tessra Zarto CSP V1.1";

std::string sha1Hex(const std::vector<uint8_t>& bytes) {
    unsigned char digest[20];
    size_t length = 0;
    EXPECT_TRUE(EVP_Q_digest(nullptr, "SHA1", nullptr, bytes.data(), bytes.size(), digest, &length));
    char text[41] = {};
    for (size_t i = 0; i < length; ++i)
        snprintf(text + 2 * i, 3, "%02X", digest[i]);
    return text;
}

std::vector<CertStoreEntry> entriesOf(const CertStore& store) {
    std::vector<CertStoreEntry> entries;
    EXPECT_EQ(store.list(entries), QR_OK);
    return entries;
}

class CertStoreTest : public ::testing::Test {
protected:
    TempWorld world;
    std::vector<uint8_t> alice = TestCertificateBuilder().subject({{"CN", "Alice"}}).der();
    std::vector<uint8_t> bob = TestCertificateBuilder().subject({{"CN", "Bob"}}).der();
};

} // namespace

TEST_F(CertStoreTest, AddKeepsContainerCspSpecAndCertificateUnderItsThumbprint) {
    CertStore store;
    ASSERT_EQ(store.add("container one", Csp, 1, alice), QR_OK);
    EXPECT_TRUE(std::filesystem::exists(world.dataHome() / "Norvale" / "PellorZu" / "certstore.db"));

    std::vector<CertStoreEntry> entries = entriesOf(CertStore());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].thumbprint, sha1Hex(alice));
    EXPECT_EQ(entries[0].container, "container one");
    EXPECT_EQ(entries[0].csp, Csp);
    EXPECT_EQ(entries[0].spec, 1);
    EXPECT_EQ(entries[0].certificateDer, alice);
}

TEST_F(CertStoreTest, AddingTheSameCertificateAgainReplacesItsEntry) {
    CertStore store;
    ASSERT_EQ(store.add("old", Csp, 1, alice), QR_OK);
    ASSERT_EQ(store.add("other", Csp, 2, bob), QR_OK);
    ASSERT_EQ(store.add("new", Csp, 2, alice), QR_OK);
    std::vector<CertStoreEntry> entries = entriesOf(store);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].certificateDer, bob);
    EXPECT_EQ(entries[1].certificateDer, alice);
    EXPECT_EQ(entries[1].container, "new");
    EXPECT_EQ(entries[1].spec, 2);
}

TEST_F(CertStoreTest, RemovingACspLeavesOtherCspsAndKeepsNamesByteForByte) {
    CertStore store;
    const std::string gbkContainer = "\xD6\xD0\xCE\xC4 box"; // 8-bit text that is not UTF-8
    ASSERT_EQ(store.add(gbkContainer, Csp, 1, alice), QR_OK);
    ASSERT_EQ(store.add("b", "Other CSP", 1, bob), QR_OK);
    EXPECT_EQ(store.removeAllForCsp(Csp + " "), QR_OK); // names compare exactly
    EXPECT_EQ(entriesOf(store).size(), 2u);
    EXPECT_EQ(entriesOf(store)[0].container, gbkContainer);

    ASSERT_EQ(store.removeAllForCsp(Csp), QR_OK);
    std::vector<CertStoreEntry> entries = entriesOf(store);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].csp, "Other CSP");
}

TEST_F(CertStoreTest, BadArgumentsStoreNothing) {
    CertStore store;
    std::vector<uint8_t> truncated(alice.begin(), alice.end() - 1);
    const std::vector<uint8_t> garbage = {'n', 'o', 't', ' ', 'a', ' ', 'c', 'e', 'r', 't'};
    EXPECT_EQ(store.add("c", Csp, 1, garbage), QR_ARGUMENTS_BAD);
    EXPECT_EQ(store.add("c", Csp, 1, truncated), QR_ARGUMENTS_BAD);
    EXPECT_EQ(store.add("c", Csp, 1, std::vector<uint8_t>{}), QR_ARGUMENTS_BAD);
    EXPECT_EQ(store.add("c", Csp, 3, alice), QR_ARGUMENTS_BAD);
    EXPECT_EQ(store.add("", Csp, 1, alice), QR_ARGUMENTS_BAD);
    EXPECT_EQ(store.add("c", "", 1, alice), QR_ARGUMENTS_BAD);
    EXPECT_FALSE(std::filesystem::exists(quillard::certStorePath()));
    EXPECT_EQ(store.removeAllForCsp(Csp), QR_OK);
    EXPECT_TRUE(entriesOf(store).empty());
    EXPECT_FALSE(std::filesystem::exists(quillard::certStorePath()));
}

TEST_F(CertStoreTest, UnwritableStoreReportsAStorageError) {
    std::ofstream(world.root() / "blocker") << "a file where the store folder should be";
    CertStore store(world.root() / "blocker" / "certstore.db");
    EXPECT_EQ(store.add("c", Csp, 1, alice), QR_STORAGE_ERROR);

    std::ofstream(world.root() / "broken.db") << "not a database, but long enough to be read as one........";
    CertStore broken(world.root() / "broken.db");
    std::vector<CertStoreEntry> entries;
    EXPECT_EQ(broken.list(entries), QR_STORAGE_ERROR);
    EXPECT_EQ(broken.removeAllForCsp(Csp), QR_STORAGE_ERROR);
}
