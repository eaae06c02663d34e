// The health rules on certificates made for the test: each certificate's state from its own dates, its chain
// against a test trust store and the other certificates of the key, the PIN states, a key's status, the
// check before an import, and a whole SoftHSM2 token read and judged through the operations layer.
#include "tests/common/softhsm_token.h"
#include "tests/common/temp_world.h"
#include "token/flows/import_validity.h"
#include "token/flows/key_health.h"
#include "token/flows/key_scan.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "tools/demo_credentials.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using quillard::Credential;
using quillard::demo::KeyType;
using quillard::demo::makeCredential;
using token::flows::CertificateState;
using token::flows::ChainResult;
using token::flows::PinHealth;

constexpr long kDay = 86400;

class CertificateHealthTest : public ::testing::Test {
protected:
    CertificateHealthTest()
        : root(makeCredential(KeyType::EcP256, "Test root", {-kDay, 3650 * kDay}, nullptr, true)) {
        EXPECT_TRUE(quillard::demo::writeCertificateFile(world.root() / "trusted.pem", root, true));
        std::filesystem::create_directories(world.root() / "no-certs");
        trust("trusted.pem");
    }
    ~CertificateHealthTest() override {
        unsetenv("SSL_CERT_FILE");
        unsetenv("SSL_CERT_DIR");
    }

    // The system trust store the chain checks see: `file` (in the world) alone.
    void trust(const std::string& file) {
        setenv("SSL_CERT_FILE", (world.root() / file).c_str(), 1);
        setenv("SSL_CERT_DIR", (world.root() / "no-certs").c_str(), 1);
    }

    static CertificateState stateOf(const Credential& credential, int days = 30) {
        const auto health =
            token::flows::judgeCertificate(credential.certificateDer, token::flows::secondsNow(), days);
        EXPECT_TRUE(health.has_value());
        return health ? health->state : CertificateState::Valid;
    }

    Credential leaf(quillard::demo::Validity validity, const Credential* issuer = nullptr) {
        return makeCredential(KeyType::EcP256, "Leaf", validity, issuer);
    }

    TempWorld world;
    Credential root;
};

TEST_F(CertificateHealthTest, EachCertificateIsJudgedOnItsOwnDates) {
    EXPECT_EQ(stateOf(leaf({-kDay, 365 * kDay})), CertificateState::Valid);
    EXPECT_EQ(stateOf(leaf({-kDay, 3 * kDay + 60})), CertificateState::Expiring);
    EXPECT_EQ(stateOf(leaf({-kDay, 3 * kDay + 60}), 2), CertificateState::Valid) << "outside a 2-day window";
    EXPECT_EQ(stateOf(leaf({-kDay, 365 * kDay}), 400), CertificateState::Expiring);
    EXPECT_EQ(stateOf(leaf({-400 * kDay, -kDay})), CertificateState::Expired);
    EXPECT_EQ(stateOf(leaf({kDay, 365 * kDay})), CertificateState::NotYetValid);

    const Credential expiring = leaf({-kDay, 3 * kDay + 60});
    const int64_t now = token::flows::secondsNow();
    const auto health = token::flows::judgeCertificate(expiring.certificateDer, now, 30);
    ASSERT_TRUE(health);
    EXPECT_EQ(health->daysLeft, 3);
    EXPECT_NEAR(static_cast<double>(health->notAfter - now), 3.0 * kDay + 60, 5);
    EXPECT_NEAR(static_cast<double>(now - health->notBefore), kDay, 5);
    // The last second of validity still counts as expiring; one later it has expired, -1 days left.
    EXPECT_EQ(token::flows::judgeCertificate(expiring.certificateDer, health->notAfter, 30)->state,
              CertificateState::Expiring);
    const auto after = token::flows::judgeCertificate(expiring.certificateDer, health->notAfter + 1, 30);
    EXPECT_EQ(after->state, CertificateState::Expired);
    EXPECT_EQ(after->daysLeft, -1);

    EXPECT_FALSE(token::flows::judgeCertificate({0x30, 0x03, 0x02, 0x01, 0x01}, now, 30));
    EXPECT_FALSE(token::flows::judgeCertificate({}, now, 30));
}

TEST_F(CertificateHealthTest, ChainsAreCheckedAgainstTheTrustStoreAndTheKey) {
    const Credential intermediate =
        makeCredential(KeyType::EcP256, "Test intermediate", {-kDay, 3650 * kDay}, &root, true);
    const Credential issued = leaf({-kDay, 365 * kDay}, &intermediate);
    const Credential byRoot = leaf({-400 * kDay, -kDay}, &root);
    const Credential self = leaf({-kDay, 365 * kDay});

    EXPECT_EQ(token::flows::checkChain(byRoot.certificateDer, {}), ChainResult::Trusted)
        << "an expired certificate still has its chain";
    EXPECT_EQ(token::flows::checkChain(issued.certificateDer, {}), ChainResult::IssuerUnknown);
    EXPECT_EQ(
        token::flows::checkChain(issued.certificateDer, {intermediate.certificateDer, self.certificateDer}),
        ChainResult::Trusted)
        << "the intermediate certificate on the key completes the chain";
    EXPECT_EQ(token::flows::checkChain(self.certificateDer, {}), ChainResult::SelfSigned);
    EXPECT_EQ(token::flows::checkChain(root.certificateDer, {}), ChainResult::Trusted);
    EXPECT_EQ(token::flows::checkChain({0x01, 0x02}, {}), ChainResult::IssuerUnknown);

    // A root that is on the key but not in the trust store vouches for nothing.
    trust("missing.pem");
    EXPECT_EQ(token::flows::checkChain(byRoot.certificateDer, {root.certificateDer}),
              ChainResult::IssuerUnknown);
    EXPECT_EQ(token::flows::checkChain(root.certificateDer, {}), ChainResult::SelfSigned);
}

TEST(PinHealthTest, PinStatesFromCountsAndFlags) {
    using token::flows::judgePin;
    auto pin = [](int32_t left, int32_t most, int32_t locked = 0) {
        return token::TPinState{left, most, 0, 0, locked, 0};
    };
    EXPECT_EQ(judgePin(pin(10, 10)), PinHealth::Ok);
    EXPECT_EQ(judgePin(pin(5, 10)), PinHealth::Ok) << "half left is not fewer than half";
    EXPECT_EQ(judgePin(pin(4, 10)), PinHealth::Low);
    EXPECT_EQ(judgePin(pin(1, 10)), PinHealth::FinalTry);
    EXPECT_EQ(judgePin(pin(0, 10, 1)), PinHealth::Locked);
    EXPECT_EQ(judgePin(pin(3, 3), false, false), PinHealth::Unknown) << "a key never initialised";
    // Tokens that tell flags only: unknown counts, the final try as 1 left, "count low" as a flag.
    EXPECT_EQ(judgePin(pin(-1, -1)), PinHealth::Unknown);
    EXPECT_EQ(judgePin(pin(1, -1)), PinHealth::FinalTry);
    EXPECT_EQ(judgePin(pin(-1, -1), true), PinHealth::Low);
    EXPECT_EQ(judgePin(pin(0, -1, 1)), PinHealth::Locked);
}

TEST(KeyStatusTest, TheWorstCertificateOrPinDecides) {
    token::flows::KeyHealth health;
    health.userPin.health = PinHealth::Ok;
    health.soPin.health = PinHealth::Unknown;
    EXPECT_EQ(token::flows::keyStatus(health), token::flows::KeyStatus::Ok);
    health.certificates.resize(2);
    health.certificates[1].health.state = CertificateState::Expiring;
    EXPECT_EQ(token::flows::keyStatus(health), token::flows::KeyStatus::Warning);
    health.soPin.health = PinHealth::Locked;
    EXPECT_EQ(token::flows::keyStatus(health), token::flows::KeyStatus::Problem);
    health.soPin.health = PinHealth::FinalTry;
    EXPECT_EQ(token::flows::keyStatus(health), token::flows::KeyStatus::Warning);
    health.certificates[0].health.state = CertificateState::NotYetValid;
    EXPECT_EQ(token::flows::keyStatus(health), token::flows::KeyStatus::Problem);
    EXPECT_EQ(token::flows::expiringOrExpired(health).size(), 1u) << "not yet valid is no expiry";
}

TEST_F(CertificateHealthTest, AnImportLooksAtTheCertificateFirst) {
    token::flows::CertificateImport job;
    const Credential expired = leaf({-400 * kDay, -kDay});
    ASSERT_TRUE(quillard::demo::writePkcs12File(world.root() / "old.p12", expired, "pass", false));
    int32_t entries = 0;
    ASSERT_EQ(token::pkcs12_file_parse((world.root() / "old.p12").string(), "pass", entries), 0);
    ASSERT_EQ(entries, 1);
    const auto old = token::flows::importedCertificateHealth(job, token::flows::secondsNow());
    ASSERT_TRUE(old);
    EXPECT_TRUE(token::flows::outsideValidity(*old));

    job.kind = token::flows::ImportKind::X509;
    job.path = (world.root() / "future.cer").string();
    ASSERT_TRUE(quillard::demo::writeCertificateFile(job.path, leaf({kDay, 9 * kDay}), true));
    const auto future = token::flows::importedCertificateHealth(job, token::flows::secondsNow());
    ASSERT_TRUE(future);
    EXPECT_EQ(future->state, CertificateState::NotYetValid);
    ASSERT_TRUE(quillard::demo::writeCertificateFile(job.path, leaf({-kDay, kDay}), false));
    EXPECT_FALSE(token::flows::outsideValidity(
        *token::flows::importedCertificateHealth(job, token::flows::secondsNow())));
    job.path = (world.root() / "none.cer").string();
    EXPECT_FALSE(token::flows::importedCertificateHealth(job, token::flows::secondsNow()));
}

TEST_F(CertificateHealthTest, ASoftHsmTokenIsReadAndJudgedWhole) {
    if (softhsm::modulePath().empty())
        GTEST_SKIP() << "SoftHSM2 is not installed";
    ASSERT_TRUE(softhsm::initToken("Health"));
    auto fill = [this](const std::string& container, int32_t spec, const Credential& credential) {
        const auto path = world.root() / (container + std::to_string(spec) + ".p12");
        ASSERT_TRUE(quillard::demo::writePkcs12File(path, credential, "pass", false));
        ASSERT_TRUE(softhsm::fillToken("Health", container, spec, path.string(), "pass"));
    };
    fill("Mail", 1, leaf({-kDay, 3 * kDay + 60}, &root));
    fill("Mail", 2, leaf({-400 * kDay, -kDay}, &root));
    fill("Web", 1, leaf({-kDay, 365 * kDay}));

    ASSERT_EQ(token::init_pkcs11(softhsm::modulePath()), 0);
    const token::flows::KeyScan scan = token::flows::scanKeys();
    int32_t slot = -1;
    for (int32_t idx = 0; idx < scan.keyCount; ++idx)
        if (token::keyTable().keys[idx].initialised != 0)
            slot = idx;
    ASSERT_GE(slot, 0);
    const token::flows::KeyHealth health = token::flows::readKeyHealth(slot, token::flows::secondsNow(), 30);
    // A wrong PIN sets the token's "count low" flag, the only sign of tries a PKCS#11 token gives.
    int32_t left = 0;
    EXPECT_NE(token::token_login(slot, "00000000", left), 0);
    const PinHealth afterWrongPin =
        token::flows::readKeyHealth(slot, token::flows::secondsNow(), 30).userPin.health;
    token::uninit_pkcs11();

    EXPECT_EQ(health.listCode, 0);
    EXPECT_EQ(health.userPin.health, PinHealth::Unknown) << "SoftHSM2 tells no counts";
    EXPECT_EQ(afterWrongPin, PinHealth::Low);
    ASSERT_EQ(health.certificates.size(), 3u);
    EXPECT_EQ(health.certificates[0].container, "Mail");
    EXPECT_EQ(health.certificates[0].health.state, CertificateState::Expiring);
    EXPECT_EQ(health.certificates[0].chain, ChainResult::Trusted);
    EXPECT_EQ(health.certificates[1].health.state, CertificateState::Expired);
    EXPECT_EQ(health.certificates[2].health.state, CertificateState::Valid);
    EXPECT_EQ(health.certificates[2].chain, ChainResult::SelfSigned);
    EXPECT_EQ(health.status, token::flows::KeyStatus::Problem);
    EXPECT_EQ(token::flows::expiringOrExpired(health).size(), 2u);
}

} // namespace
