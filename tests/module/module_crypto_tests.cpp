// Signatures, decryption, digests, key generation and import through the module, checked with OpenSSL on
// this side of the interface.
#include "module_fixture.h"

#include "token/lib/key_description.h"

#include <openssl/core_names.h>
#include <openssl/rsa.h>

namespace {

using quillard::EvpPkeyPtr;
using OpenSslContext = quillard::OpenSslPtr<EVP_MD_CTX, EVP_MD_CTX_free>;
using OpenSslPkeyContext = quillard::OpenSslPtr<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;

class ModuleCryptoTest : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        session = openSession();
        ASSERT_EQ(login(session, kUserPin), CKR_OK);
        rsaKey = findOne(session, CKO_PRIVATE_KEY, kContainer);
        rsaPublic = findOne(session, CKO_PUBLIC_KEY, kContainer);
        ecKey = findOne(session, CKO_PRIVATE_KEY, "Test-EC");
        ecPublic = findOne(session, CKO_PUBLIC_KEY, "Test-EC");
    }

    EvpPkeyPtr publicKeyOf(CK_OBJECT_HANDLE object) {
        return quillard::decodePublicKey(attribute(session, object, CKA_PUBLIC_KEY_INFO));
    }

    // `secret` encrypted with OpenSSL for the RSA exchange key: PKCS#1 v1.5, or OAEP with SHA-256 and the
    // label "pz".
    std::vector<uint8_t> encryptForRsaKey(const std::vector<uint8_t>& secret, bool oaep) {
        EvpPkeyPtr key = publicKeyOf(rsaPublic);
        OpenSslPkeyContext context(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
        EXPECT_EQ(EVP_PKEY_encrypt_init(context.get()), 1);
        if (oaep) {
            EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_OAEP_PADDING);
            EVP_PKEY_CTX_set_rsa_oaep_md(context.get(), EVP_sha256());
            EVP_PKEY_CTX_set_rsa_mgf1_md(context.get(), EVP_sha256());
            EVP_PKEY_CTX_set0_rsa_oaep_label(context.get(), OPENSSL_memdup("pz", 2), 2);
        }
        std::vector<uint8_t> out(256);
        size_t length = out.size();
        EXPECT_EQ(EVP_PKEY_encrypt(context.get(), out.data(), &length, secret.data(), secret.size()), 1);
        return out;
    }

    CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
    CK_OBJECT_HANDLE rsaKey = CK_INVALID_HANDLE, rsaPublic = CK_INVALID_HANDLE;
    CK_OBJECT_HANDLE ecKey = CK_INVALID_HANDLE, ecPublic = CK_INVALID_HANDLE;
    std::vector<uint8_t> data = std::vector<uint8_t>(333, 0x5A);
};

TEST_F(ModuleCryptoTest, EverySignatureMechanismVerifiesAndATamperedSignatureDoesNot) {
    CK_RSA_PKCS_PSS_PARAMS pss256{CKM_SHA256, CKG_MGF1_SHA256, 32};
    CK_RSA_PKCS_PSS_PARAMS pss512{CKM_SHA512, CKG_MGF1_SHA512, 64};
    std::vector<uint8_t> digest(32, 0x11);
    struct Case {
        CK_MECHANISM mechanism;
        CK_OBJECT_HANDLE key, publicKey;
        std::vector<uint8_t> input;
    } cases[] = {
        {{CKM_SHA256_RSA_PKCS, nullptr, 0}, rsaKey, rsaPublic, data},
        {{CKM_SHA384_RSA_PKCS, nullptr, 0}, rsaKey, rsaPublic, data},
        {{CKM_SHA512_RSA_PKCS, nullptr, 0}, rsaKey, rsaPublic, data},
        {{CKM_RSA_PKCS, nullptr, 0}, rsaKey, rsaPublic, digest},
        {{CKM_RSA_PKCS_PSS, &pss256, sizeof pss256}, rsaKey, rsaPublic, digest},
        {{CKM_SHA256_RSA_PKCS_PSS, &pss256, sizeof pss256}, rsaKey, rsaPublic, data},
        {{CKM_SHA512_RSA_PKCS_PSS, &pss512, sizeof pss512}, rsaKey, rsaPublic, data},
        {{CKM_ECDSA, nullptr, 0}, ecKey, ecPublic, digest},
        {{CKM_ECDSA_SHA256, nullptr, 0}, ecKey, ecPublic, data},
        {{CKM_ECDSA_SHA384, nullptr, 0}, ecKey, ecPublic, data},
        {{CKM_ECDSA_SHA512, nullptr, 0}, ecKey, ecPublic, data},
    };
    for (Case& test : cases) {
        SCOPED_TRACE(test.mechanism.mechanism);
        std::vector<uint8_t> signature = sign(session, test.key, test.mechanism, test.input);
        ASSERT_FALSE(signature.empty());
        EXPECT_EQ(signature.size(), test.key == ecKey ? 64u : 256u); // r || s for ECDSA
        EXPECT_EQ(verify(session, test.publicKey, test.mechanism, test.input, signature), CKR_OK);
        signature[signature.size() / 2] ^= 1;
        EXPECT_EQ(verify(session, test.publicKey, test.mechanism, test.input, signature),
                  CKR_SIGNATURE_INVALID);
    }
}

TEST_F(ModuleCryptoTest, MultiPartSigningEqualsOneCallAndOpenSslAgrees) {
    CK_MECHANISM mechanism{CKM_SHA256_RSA_PKCS, nullptr, 0};
    ASSERT_EQ(p11->C_SignInit(session, &mechanism, rsaKey), CKR_OK);
    ASSERT_EQ(p11->C_SignUpdate(session, data.data(), 100), CKR_OK);
    ASSERT_EQ(p11->C_SignUpdate(session, data.data() + 100, data.size() - 100), CKR_OK);
    std::vector<CK_BYTE> parts(256);
    CK_ULONG length = parts.size();
    ASSERT_EQ(p11->C_SignFinal(session, parts.data(), &length), CKR_OK);
    EXPECT_EQ(parts, sign(session, rsaKey, mechanism, data)); // PKCS#1 v1.5 is deterministic

    EvpPkeyPtr key = publicKeyOf(rsaPublic);
    OpenSslContext context(EVP_MD_CTX_new());
    ASSERT_EQ(EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()), 1);
    EXPECT_EQ(EVP_DigestVerify(context.get(), parts.data(), parts.size(), data.data(), data.size()), 1);
}

TEST_F(ModuleCryptoTest, DecryptsPkcs1AndOaepWithALabel) {
    std::vector<uint8_t> secret(48, 0xC3);
    auto encrypt = [&](bool oaep) { return encryptForRsaKey(secret, oaep); };
    auto decrypt = [&](CK_MECHANISM mechanism, std::vector<uint8_t> cipher, CK_RV& rv) {
        std::vector<CK_BYTE> plain(256);
        CK_ULONG length = plain.size();
        EXPECT_EQ(p11->C_DecryptInit(session, &mechanism, rsaKey), CKR_OK);
        rv = p11->C_Decrypt(session, cipher.data(), cipher.size(), plain.data(), &length);
        plain.resize(rv == CKR_OK ? length : 0);
        return plain;
    };
    CK_RV rv = CKR_OK;
    EXPECT_EQ(decrypt({CKM_RSA_PKCS, nullptr, 0}, encrypt(false), rv), secret);
    char label[] = "pz";
    CK_RSA_PKCS_OAEP_PARAMS oaep{CKM_SHA256, CKG_MGF1_SHA256, CKZ_DATA_SPECIFIED, label, 2};
    EXPECT_EQ(decrypt({CKM_RSA_PKCS_OAEP, &oaep, sizeof oaep}, encrypt(true), rv), secret);
    oaep.ulSourceDataLen = 1; // another label: the ciphertext is not valid for it
    decrypt({CKM_RSA_PKCS_OAEP, &oaep, sizeof oaep}, encrypt(true), rv);
    EXPECT_EQ(rv, CKR_ENCRYPTED_DATA_INVALID);
    decrypt({CKM_RSA_PKCS, nullptr, 0}, std::vector<uint8_t>(10, 1), rv);
    EXPECT_EQ(rv, CKR_ENCRYPTED_DATA_LEN_RANGE);
}

TEST_F(ModuleCryptoTest, UnwrapsIntoSecretKeysOfTheSessionThatEndWithItOrTheLogout) {
    std::vector<uint8_t> secret(32);
    for (std::size_t i = 0; i < secret.size(); ++i)
        secret[i] = static_cast<uint8_t>(i * 7 + 1);
    CK_OBJECT_CLASS secretClass = CKO_SECRET_KEY;
    CK_KEY_TYPE keyType = CKK_GENERIC_SECRET;
    CK_BBOOL no = CK_FALSE, yes = CK_TRUE;
    std::string label = "unwrapped";
    std::vector<CK_ATTRIBUTE> asked{{CKA_CLASS, &secretClass, sizeof secretClass},
                                    {CKA_KEY_TYPE, &keyType, sizeof keyType},
                                    {CKA_LABEL, label.data(), label.size()},
                                    {CKA_SENSITIVE, &no, sizeof no}};
    auto unwrap = [&](CK_MECHANISM mechanism, std::vector<uint8_t> wrapped, CK_OBJECT_HANDLE with,
                      CK_OBJECT_HANDLE& made) {
        return p11->C_UnwrapKey(session, &mechanism, with, wrapped.data(), wrapped.size(), asked.data(),
                                asked.size(), &made);
    };
    CK_OBJECT_HANDLE plain = CK_INVALID_HANDLE, aes = CK_INVALID_HANDLE, refused = CK_INVALID_HANDLE;
    ASSERT_EQ(unwrap({CKM_RSA_PKCS, nullptr, 0}, encryptForRsaKey(secret, false), rsaKey, plain), CKR_OK);
    EXPECT_EQ(attribute(session, plain, CKA_VALUE), secret);
    EXPECT_EQ(attribute(session, plain, CKA_LABEL), std::vector<uint8_t>(label.begin(), label.end()));
    EXPECT_EQ(attribute(session, plain, CKA_TOKEN), std::vector<uint8_t>{CK_FALSE});
    EXPECT_EQ(attribute(session, rsaKey, CKA_UNWRAP), std::vector<uint8_t>{CK_TRUE});

    // A sensitive AES key by OAEP: its value never leaves the module.
    keyType = CKK_AES;
    asked[3].pValue = &yes;
    char oaepLabel[] = "pz";
    CK_RSA_PKCS_OAEP_PARAMS oaep{CKM_SHA256, CKG_MGF1_SHA256, CKZ_DATA_SPECIFIED, oaepLabel, 2};
    ASSERT_EQ(unwrap({CKM_RSA_PKCS_OAEP, &oaep, sizeof oaep}, encryptForRsaKey(secret, true), rsaKey, aes),
              CKR_OK);
    CK_ATTRIBUTE value{CKA_VALUE, nullptr, 0};
    EXPECT_EQ(p11->C_GetAttributeValue(session, aes, &value, 1), CKR_ATTRIBUTE_SENSITIVE);
    EXPECT_EQ(attribute(session, aes, CKA_VALUE_LEN).size(), sizeof(CK_ULONG));

    // What is refused: an EC key, a ciphertext that is no wrapped key, a secret key kept on the key,
    // an AES key of a length AES does not have.
    EXPECT_EQ(unwrap({CKM_RSA_PKCS, nullptr, 0}, encryptForRsaKey(secret, false), ecKey, refused),
              CKR_UNWRAPPING_KEY_TYPE_INCONSISTENT);
    EXPECT_EQ(unwrap({CKM_RSA_PKCS, nullptr, 0}, std::vector<uint8_t>(256, 0x42), rsaKey, refused),
              CKR_WRAPPED_KEY_INVALID);
    EXPECT_EQ(unwrap({CKM_RSA_PKCS, nullptr, 0}, std::vector<uint8_t>(10, 1), rsaKey, refused),
              CKR_WRAPPED_KEY_LEN_RANGE);
    asked.push_back({CKA_TOKEN, &yes, sizeof yes});
    EXPECT_EQ(unwrap({CKM_RSA_PKCS, nullptr, 0}, encryptForRsaKey(secret, false), rsaKey, refused),
              CKR_TEMPLATE_INCONSISTENT);
    asked.pop_back();
    EXPECT_EQ(unwrap({CKM_RSA_PKCS, nullptr, 0}, encryptForRsaKey(std::vector<uint8_t>(20, 1), false), rsaKey,
                     refused),
              CKR_WRAPPED_KEY_INVALID);
    EXPECT_EQ(refused, CK_INVALID_HANDLE);

    // Every session of the key finds them; they end with the session that made them, or at the logout.
    CK_SESSION_HANDLE other = openSession(false);
    EXPECT_EQ(find(other, CKO_SECRET_KEY).size(), 2u);
    ASSERT_EQ(p11->C_DestroyObject(other, aes), CKR_OK);
    EXPECT_EQ(find(other, CKO_SECRET_KEY), std::vector<CK_OBJECT_HANDLE>{plain});
    CK_OBJECT_HANDLE inOther = CK_INVALID_HANDLE;
    CK_MECHANISM pkcs1{CKM_RSA_PKCS, nullptr, 0};
    std::vector<uint8_t> wrapped = encryptForRsaKey(secret, false);
    ASSERT_EQ(
        p11->C_UnwrapKey(other, &pkcs1, rsaKey, wrapped.data(), wrapped.size(), asked.data(), 3, &inOther),
        CKR_OK);
    ASSERT_EQ(p11->C_CloseSession(other), CKR_OK);
    EXPECT_EQ(find(session, CKO_SECRET_KEY), std::vector<CK_OBJECT_HANDLE>{plain});
    ASSERT_EQ(p11->C_Logout(session), CKR_OK);
    ASSERT_EQ(login(session, kUserPin), CKR_OK);
    EXPECT_TRUE(find(session, CKO_SECRET_KEY).empty());
    EXPECT_EQ(p11->C_GetAttributeValue(session, plain, &value, 1), CKR_OBJECT_HANDLE_INVALID);
}

// ECDH with an EC exchange key made on the key: the secret is the one OpenSSL agrees from the other side,
// whether the other party's point comes bare or in a DER OCTET STRING; signature keys, RSA keys, points off
// the curve and derivation functions the module does not offer are refused and make nothing.
TEST_F(ModuleCryptoTest, EcdhAgreesTheSecretOpenSslAgreesFromTheOtherSide) {
    CK_MECHANISM generate{CKM_EC_KEY_PAIR_GEN, nullptr, 0};
    CK_BYTE p256[] = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};
    std::string label = "Agreeing";
    CK_BBOOL yes = CK_TRUE, no = CK_FALSE;
    CK_ATTRIBUTE publicTemplate[] = {{CKA_EC_PARAMS, p256, sizeof p256}};
    CK_ATTRIBUTE privateTemplate[] = {{CKA_LABEL, label.data(), label.size()},
                                      {CKA_DERIVE, &yes, sizeof yes}};
    CK_OBJECT_HANDLE ownPublic = 0, own = 0;
    ASSERT_EQ(
        p11->C_GenerateKeyPair(session, &generate, publicTemplate, 1, privateTemplate, 2, &ownPublic, &own),
        CKR_OK);
    EXPECT_EQ(attribute(session, own, CKA_DERIVE), std::vector<uint8_t>{CK_TRUE});
    EXPECT_EQ(attribute(session, ecKey, CKA_DERIVE), std::vector<uint8_t>{CK_FALSE});

    // The other party, and the secret as it computes it.
    EvpPkeyPtr peer(EVP_EC_gen("P-256"));
    ASSERT_TRUE(peer);
    std::vector<uint8_t> point(65);
    std::size_t pointLength = 0;
    ASSERT_EQ(EVP_PKEY_get_octet_string_param(peer.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size(),
                                              &pointLength),
              1);
    EvpPkeyPtr ours = publicKeyOf(ownPublic);
    OpenSslPkeyContext agreeing(EVP_PKEY_CTX_new_from_pkey(nullptr, peer.get(), nullptr));
    std::vector<uint8_t> expected(32);
    std::size_t expectedLength = expected.size();
    ASSERT_EQ(EVP_PKEY_derive_init(agreeing.get()), 1);
    ASSERT_EQ(EVP_PKEY_derive_set_peer(agreeing.get(), ours.get()), 1);
    ASSERT_EQ(EVP_PKEY_derive(agreeing.get(), expected.data(), &expectedLength), 1);

    CK_OBJECT_CLASS secretClass = CKO_SECRET_KEY;
    CK_KEY_TYPE keyType = CKK_GENERIC_SECRET;
    CK_ATTRIBUTE asked[] = {{CKA_CLASS, &secretClass, sizeof secretClass},
                            {CKA_KEY_TYPE, &keyType, sizeof keyType},
                            {CKA_SENSITIVE, &no, sizeof no}};
    auto derive = [&](CK_OBJECT_HANDLE with, std::vector<uint8_t> publicData, CK_ULONG kdf,
                      CK_OBJECT_HANDLE& made) {
        CK_ECDH1_DERIVE_PARAMS parameters{kdf, 0, nullptr, static_cast<CK_ULONG>(publicData.size()),
                                          publicData.data()};
        CK_MECHANISM mechanism{CKM_ECDH1_DERIVE, &parameters, sizeof parameters};
        return p11->C_DeriveKey(session, &mechanism, with, asked, 3, &made);
    };
    CK_OBJECT_HANDLE bare = CK_INVALID_HANDLE, wrapped = CK_INVALID_HANDLE;
    ASSERT_EQ(derive(own, point, CKD_NULL, bare), CKR_OK);
    EXPECT_EQ(attribute(session, bare, CKA_VALUE), expected);
    std::vector<uint8_t> inOctets{0x04, 0x41};
    inOctets.insert(inOctets.end(), point.begin(), point.end());
    ASSERT_EQ(derive(own, inOctets, CKD_NULL, wrapped), CKR_OK);
    EXPECT_EQ(attribute(session, wrapped, CKA_VALUE), expected);

    CK_OBJECT_HANDLE refused = CK_INVALID_HANDLE;
    std::vector<uint8_t> offCurve = point;
    offCurve[64] ^= 0x01;
    EXPECT_EQ(derive(own, offCurve, CKD_NULL, refused), CKR_MECHANISM_PARAM_INVALID);
    EXPECT_EQ(derive(own, point, CKD_SHA256_KDF, refused), CKR_MECHANISM_PARAM_INVALID);
    EXPECT_EQ(derive(ecKey, point, CKD_NULL, refused), CKR_KEY_FUNCTION_NOT_PERMITTED);
    EXPECT_EQ(derive(rsaKey, point, CKD_NULL, refused), CKR_KEY_TYPE_INCONSISTENT);
    EXPECT_EQ(refused, CK_INVALID_HANDLE);
}

TEST_F(ModuleCryptoTest, DigestsMatchOpenSsl) {
    CK_MECHANISM mechanism{CKM_SHA384, nullptr, 0};
    ASSERT_EQ(p11->C_DigestInit(session, &mechanism), CKR_OK);
    ASSERT_EQ(p11->C_DigestUpdate(session, data.data(), data.size()), CKR_OK);
    std::vector<CK_BYTE> digest(48);
    CK_ULONG length = digest.size();
    ASSERT_EQ(p11->C_DigestFinal(session, digest.data(), &length), CKR_OK);
    std::vector<CK_BYTE> expected(48);
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), expected.data(), &size, EVP_sha384(), nullptr);
    EXPECT_EQ(digest, expected);
}

TEST_F(ModuleCryptoTest, GeneratedPairsLandInTheirContainerAndNeverReplaceOne) {
    CK_MECHANISM generate{CKM_EC_KEY_PAIR_GEN, nullptr, 0};
    CK_BYTE p384[] = {0x06, 0x05, 0x2b, 0x81, 0x04, 0x00, 0x22};
    std::string label = "Generated";
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE publicTemplate[] = {{CKA_EC_PARAMS, p384, sizeof p384}};
    CK_ATTRIBUTE privateTemplate[] = {{CKA_LABEL, label.data(), label.size()}, {CKA_SIGN, &yes, sizeof yes}};
    CK_OBJECT_HANDLE publicKey = 0, privateKey = 0;
    ASSERT_EQ(p11->C_GenerateKeyPair(session, &generate, publicTemplate, 1, privateTemplate, 2, &publicKey,
                                     &privateKey),
              CKR_OK);
    EXPECT_EQ(privateKey, findOne(session, CKO_PRIVATE_KEY, label));
    CK_MECHANISM mechanism{CKM_ECDSA_SHA384, nullptr, 0};
    EXPECT_EQ(verify(session, publicKey, mechanism, data, sign(session, privateKey, mechanism, data)),
              CKR_OK);
    EXPECT_EQ(attribute(session, publicKey, CKA_ID), attribute(session, privateKey, CKA_ID));

    // The window sees the new container with its public key.
    int32_t idx = windowIndex(kSerial);
    quillard::KeyDescription description;
    ASSERT_EQ(window.getPublicKey(idx, label, 2, description), QR_OK);
    EXPECT_EQ(description.bits, 384);

    EXPECT_EQ(p11->C_GenerateKeyPair(session, &generate, publicTemplate, 1, privateTemplate, 2, &publicKey,
                                     &privateKey),
              CKR_ATTRIBUTE_VALUE_INVALID);
    CK_BYTE p521[] = {0x06, 0x05, 0x2b, 0x81, 0x04, 0x00, 0x23};
    CK_ATTRIBUTE unsupported[] = {{CKA_EC_PARAMS, p521, sizeof p521}};
    EXPECT_EQ(p11->C_GenerateKeyPair(session, &generate, unsupported, 1, privateTemplate, 2, &publicKey,
                                     &privateKey),
              CKR_CURVE_NOT_SUPPORTED);
    CK_MECHANISM rsa{CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
    CK_ULONG bits = 1024;
    CK_ATTRIBUTE small[] = {{CKA_MODULUS_BITS, &bits, sizeof bits}};
    EXPECT_EQ(p11->C_GenerateKeyPair(session, &rsa, small, 1, privateTemplate, 2, &publicKey, &privateKey),
              CKR_ATTRIBUTE_VALUE_INVALID);

    // The pair's ID is that of its public key, so an ID the caller chooses is refused, not replaced.
    std::string other = "Chosen ID";
    CK_BYTE chosenId[] = {0x01};
    CK_ATTRIBUTE withId[] = {{CKA_LABEL, other.data(), other.size()},
                             {CKA_SIGN, &yes, sizeof yes},
                             {CKA_ID, chosenId, sizeof chosenId}};
    EXPECT_EQ(
        p11->C_GenerateKeyPair(session, &generate, publicTemplate, 1, withId, 3, &publicKey, &privateKey),
        CKR_ATTRIBUTE_VALUE_INVALID);
    EXPECT_TRUE(find(session, CKO_PRIVATE_KEY, other).empty());
}

TEST_F(ModuleCryptoTest, ImportedKeyAndCertificateMeetInOneContainer) {
    quillard::Credential credential =
        quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Imported");
    EvpPkeyPtr key = quillard::decodePrivateKey(credential.privateKeyDer);
    BIGNUM* secret = nullptr;
    ASSERT_EQ(EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &secret), 1);
    std::vector<CK_BYTE> value(32);
    BN_bn2binpad(secret, value.data(), 32);
    BN_clear_free(secret);

    CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
    CK_KEY_TYPE ec = CKK_EC;
    CK_BYTE p256[] = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};
    std::string label = "Imported";
    CK_ATTRIBUTE keyTemplate[] = {{CKA_CLASS, &privateClass, sizeof privateClass},
                                  {CKA_KEY_TYPE, &ec, sizeof ec},
                                  {CKA_EC_PARAMS, p256, sizeof p256},
                                  {CKA_VALUE, value.data(), value.size()},
                                  {CKA_LABEL, label.data(), label.size()}};
    CK_OBJECT_HANDLE privateKey = 0;
    // An ID other than the one of the key's public key is refused rather than silently replaced.
    CK_BYTE otherId[] = {0x42};
    std::vector<CK_ATTRIBUTE> withOtherId(std::begin(keyTemplate), std::end(keyTemplate));
    withOtherId.push_back({CKA_ID, otherId, sizeof otherId});
    EXPECT_EQ(p11->C_CreateObject(session, withOtherId.data(), withOtherId.size(), &privateKey),
              CKR_ATTRIBUTE_VALUE_INVALID);
    EXPECT_TRUE(find(session, CKO_PRIVATE_KEY, label).empty());
    ASSERT_EQ(p11->C_CreateObject(session, keyTemplate, 5, &privateKey), CKR_OK);

    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE certificateTemplate[] = {
        {CKA_CLASS, &certificateClass, sizeof certificateClass},
        {CKA_VALUE, credential.certificateDer.data(), credential.certificateDer.size()}};
    CK_OBJECT_HANDLE certificate = 0;
    std::vector<CK_ATTRIBUTE> certificateWithOtherId(std::begin(certificateTemplate),
                                                     std::end(certificateTemplate));
    certificateWithOtherId.push_back({CKA_ID, otherId, sizeof otherId});
    EXPECT_EQ(p11->C_CreateObject(session, certificateWithOtherId.data(), certificateWithOtherId.size(),
                                  &certificate),
              CKR_ATTRIBUTE_VALUE_INVALID);
    // The ID the key's objects have is honoured.
    std::vector<uint8_t> keyId = attribute(session, privateKey, CKA_ID);
    std::vector<CK_ATTRIBUTE> certificateWithKeyId(std::begin(certificateTemplate),
                                                   std::end(certificateTemplate));
    certificateWithKeyId.push_back({CKA_ID, keyId.data(), keyId.size()});
    ASSERT_EQ(
        p11->C_CreateObject(session, certificateWithKeyId.data(), certificateWithKeyId.size(), &certificate),
        CKR_OK);
    EXPECT_EQ(attribute(session, certificate, CKA_LABEL), std::vector<uint8_t>(label.begin(), label.end()));
    EXPECT_EQ(attribute(session, certificate, CKA_ID), attribute(session, privateKey, CKA_ID));
    std::vector<uint8_t> der;
    ASSERT_EQ(window.getCertificate(windowIndex(kSerial), label, 2, der), QR_OK);
    EXPECT_EQ(der, credential.certificateDer);

    // Destroying the private key leaves the certificate and its public key.
    ASSERT_EQ(p11->C_DestroyObject(session, privateKey), CKR_OK);
    EXPECT_TRUE(find(session, CKO_PRIVATE_KEY, label).empty());
    EXPECT_EQ(find(session, CKO_CERTIFICATE, label).size(), 1u);
    EXPECT_EQ(p11->C_DestroyObject(session, privateKey), CKR_OBJECT_HANDLE_INVALID);
}

} // namespace
