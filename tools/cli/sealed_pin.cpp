#include "sealed_pin.h"

#include "cli_texts.h"
#include "failure.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <memory>
#include <optional>

namespace cli {

namespace {

// The DER of the object identifiers the sealed PIN carries, without tag and length.
const QByteArray kAuthEnvelopedData = QByteArray::fromHex("2a864886f70d0109100117");
const QByteArray kRsaOaep = QByteArray::fromHex("2a864886f70d010107");
const QByteArray kRsaEncryption = QByteArray::fromHex("2a864886f70d010101");
const QByteArray kSha256 = QByteArray::fromHex("608648016503040201");
const QByteArray kAes256Gcm = QByteArray::fromHex("60864801650304012e");

// The ECDH schemes of CMS (standard and cofactor Diffie-Hellman, the same for the curves of prime order used
// here), by the digest of their X9.63 key derivation.
struct AgreementScheme {
    QByteArray oid;
    const char* digest;
};
const AgreementScheme kAgreementSchemes[] = {
    {QByteArray::fromHex("2b81051086483f0002"), "SHA1"}, {QByteArray::fromHex("2b81051086483f0003"), "SHA1"},
    {QByteArray::fromHex("2b8104010b00"), "SHA224"},     {QByteArray::fromHex("2b8104010e00"), "SHA224"},
    {QByteArray::fromHex("2b8104010b01"), "SHA256"},     {QByteArray::fromHex("2b8104010e01"), "SHA256"},
    {QByteArray::fromHex("2b8104010b02"), "SHA384"},     {QByteArray::fromHex("2b8104010e02"), "SHA384"},
    {QByteArray::fromHex("2b8104010b03"), "SHA512"},     {QByteArray::fromHex("2b8104010e03"), "SHA512"}};
// AES key wrap with 128, 192 and 256-bit keys.
const QByteArray kAesWrap[] = {QByteArray::fromHex("608648016503040105"),
                               QByteArray::fromHex("608648016503040119"),
                               QByteArray::fromHex("60864801650304012d")};

constexpr unsigned char kSequence = 0x30, kSet = 0x31, kOid = 0x06, kInteger = 0x02, kOctets = 0x04;

[[noreturn]] void unreadable() {
    throw Failure(kFailed, text("EscrowUnreadable"));
}

struct Element {
    unsigned char tag = 0;
    QByteArray content;
    QByteArray whole; // tag, length and content
};

// Reads the elements of one DER encoding in turn: single-byte tags, definite lengths, as sealing writes them.
class DerReader {
public:
    explicit DerReader(QByteArray bytes) : bytes_(std::move(bytes)) {}

    bool atEnd() const { return at_ >= bytes_.size(); }
    unsigned char peekTag() const { return atEnd() ? 0 : static_cast<unsigned char>(bytes_[at_]); }

    Element next() {
        const qsizetype start = at_;
        if (bytes_.size() - at_ < 2)
            unreadable();
        const auto tag = static_cast<unsigned char>(bytes_[at_++]);
        qsizetype length = static_cast<unsigned char>(bytes_[at_++]);
        if (length & 0x80) {
            const int count = static_cast<int>(length & 0x7f);
            if (count == 0 || count > 4 || bytes_.size() - at_ < count)
                unreadable();
            length = 0;
            for (int i = 0; i < count; ++i)
                length = (length << 8) | static_cast<unsigned char>(bytes_[at_++]);
        }
        if (length > bytes_.size() - at_)
            unreadable();
        Element element{tag, bytes_.mid(at_, length), bytes_.mid(start, at_ + length - start)};
        at_ += length;
        return element;
    }
    // The next element, which must carry `tag`.
    Element next(unsigned char tag) {
        Element element = next();
        if (element.tag != tag)
            unreadable();
        return element;
    }
    // Skips the next element when it carries `tag`.
    void skip(unsigned char tag) {
        if (peekTag() == tag)
            next();
    }

private:
    QByteArray bytes_;
    qsizetype at_ = 0;
};

// The transport of a key-transport recipient's algorithm identifier; nothing for one this program cannot use.
std::optional<SealedPin::Transport> transportOf(const QByteArray& algorithm) {
    DerReader reader(algorithm);
    const QByteArray oid = reader.next(kOid).content;
    if (oid == kRsaEncryption)
        return SealedPin::Transport::RsaPkcs1;
    // OAEP parameters name SHA-256 for both the hash and the mask generation when sealed by this program.
    if (oid == kRsaOaep && !reader.atEnd() && reader.next(kSequence).content.count(kSha256) == 2)
        return SealedPin::Transport::RsaOaepSha256;
    return std::nullopt;
}

// The key-agreement recipient `content` describes; nothing for one this program cannot open.
std::optional<SealedPin::Agreement> agreementOf(const QByteArray& content) {
    DerReader agreement(content);
    agreement.next(kInteger);
    DerReader originator(agreement.next(0xa0).content);
    if (originator.peekTag() != 0xa1) // the sender named by certificate: no one-time key
        return std::nullopt;
    DerReader originatorKey(originator.next(0xa1).content);
    originatorKey.next(kSequence);
    const QByteArray bits = originatorKey.next(0x03).content;
    SealedPin::Agreement found;
    if (bits.size() < 2 || bits[0] != 0)
        return std::nullopt;
    found.originatorPoint = bits.mid(1);
    if (agreement.peekTag() == 0xa1)
        found.userKeyingMaterial = DerReader(agreement.next(0xa1).content).next(kOctets).content;
    DerReader algorithm(agreement.next(kSequence).content);
    const QByteArray scheme = algorithm.next(kOid).content;
    const Element wrap = algorithm.next(kSequence);
    const QByteArray wrapOid = DerReader(wrap.content).next(kOid).content;
    for (const AgreementScheme& known : kAgreementSchemes)
        if (known.oid == scheme)
            found.kdfDigest = known.digest;
    for (int i = 0; i < 3; ++i)
        if (kAesWrap[i] == wrapOid)
            found.wrapKeyBytes = 16 + 8 * i;
    if (found.kdfDigest.isEmpty() || found.wrapKeyBytes == 0)
        return std::nullopt;
    found.wrapAlgorithm = wrap.whole;
    for (DerReader keys(agreement.next(kSequence).content); !keys.atEnd();) {
        DerReader key(keys.next(kSequence).content);
        key.next(); // the recipient's certificate, by issuer and serial or by key identifier
        found.encryptedKeys.push_back(key.next(kOctets).content);
    }
    return found;
}

QByteArray derLength(qsizetype length) {
    if (length < 0x80)
        return QByteArray(1, static_cast<char>(length));
    QByteArray bytes;
    for (; length > 0; length >>= 8)
        bytes.prepend(static_cast<char>(length & 0xff));
    return QByteArray(1, static_cast<char>(0x80 | bytes.size())) + bytes;
}

QByteArray der(unsigned char tag, const QByteArray& content) {
    return QByteArray(1, static_cast<char>(tag)) + derLength(content.size()) + content;
}

// ECC-CMS-SharedInfo: the wrap algorithm, the user keying material and the wrap key's length in bits.
QByteArray sharedInfo(const SealedPin::Agreement& agreement) {
    QByteArray bits(4, '\0');
    const int length = agreement.wrapKeyBytes * 8;
    bits[2] = static_cast<char>(length >> 8);
    bits[3] = static_cast<char>(length & 0xff);
    QByteArray content = agreement.wrapAlgorithm;
    if (!agreement.userKeyingMaterial.isEmpty())
        content += der(0xa0, der(kOctets, agreement.userKeyingMaterial));
    content += der(0xa2, der(kOctets, bits));
    return der(kSequence, content);
}

struct KdfFree {
    void operator()(EVP_KDF* kdf) const { EVP_KDF_free(kdf); }
    void operator()(EVP_KDF_CTX* context) const { EVP_KDF_CTX_free(context); }
};

// The key-encryption key: X9.63 over the shared secret and the shared information.
QByteArray keyEncryptionKey(const SealedPin::Agreement& agreement, const platform::SecretBytes& secret) {
    const std::unique_ptr<EVP_KDF, KdfFree> kdf(EVP_KDF_fetch(nullptr, "X963KDF", nullptr));
    const std::unique_ptr<EVP_KDF_CTX, KdfFree> context(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr);
    QByteArray info = sharedInfo(agreement);
    QByteArray digest = agreement.kdfDigest;
    QByteArray key(agreement.wrapKeyBytes, '\0');
    const OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest.data(), 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<char*>(secret.c_str()),
                                          static_cast<std::size_t>(secret.size())),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, info.data(),
                                          static_cast<std::size_t>(info.size())),
        OSSL_PARAM_construct_end()};
    if (!context || EVP_KDF_derive(context.get(), reinterpret_cast<unsigned char*>(key.data()),
                                   static_cast<std::size_t>(key.size()), parameters) != 1)
        return QByteArray();
    return key;
}

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

} // namespace

SealedPin::SealedPin(const QByteArray& sealed) {
    DerReader contentInfo(DerReader(sealed).next(kSequence).content);
    if (contentInfo.next(kOid).content != kAuthEnvelopedData)
        unreadable();
    DerReader explicitContent(contentInfo.next(0xa0).content);
    DerReader enveloped(explicitContent.next(kSequence).content);
    enveloped.next(kInteger);
    enveloped.skip(0xa0); // originator information
    DerReader recipients(enveloped.next(kSet).content);
    while (!recipients.atEnd()) {
        const Element recipient = recipients.next();
        if (recipient.tag == 0xa1) {
            if (std::optional<Agreement> agreement = agreementOf(recipient.content))
                agreements_.push_back(std::move(*agreement));
            continue;
        }
        if (recipient.tag != kSequence) // key encryption key or password recipients
            continue;
        DerReader keyTransport(recipient.content);
        keyTransport.next(kInteger);
        keyTransport.next(); // the recipient's certificate, by issuer and serial or by key identifier
        const std::optional<Transport> transport = transportOf(keyTransport.next(kSequence).content);
        const QByteArray encryptedKey = keyTransport.next(kOctets).content;
        if (transport)
            recipients_.push_back({*transport, encryptedKey});
    }
    DerReader content(enveloped.next(kSequence).content);
    content.next(kOid);
    DerReader algorithm(content.next(kSequence).content);
    if (algorithm.next(kOid).content != kAes256Gcm)
        unreadable();
    DerReader parameters(algorithm.next(kSequence).content);
    nonce_ = parameters.next(kOctets).content;
    const Element encrypted = content.next();
    if (encrypted.tag == 0x80) {
        encrypted_ = encrypted.content;
    } else if (encrypted.tag == 0xa0) { // the same content in octet-string pieces
        for (DerReader pieces(encrypted.content); !pieces.atEnd();)
            encrypted_ += pieces.next(kOctets).content;
    } else {
        unreadable();
    }
    if (enveloped.peekTag() == 0xa1) {
        authenticatedAttributes_ = enveloped.next().whole;
        authenticatedAttributes_[0] = static_cast<char>(kSet);
    }
    tag_ = enveloped.next(kOctets).content;
    if (nonce_.isEmpty() || tag_.size() < 12 || tag_.size() > 16)
        unreadable();
}

platform::SecretBytes SealedPin::unwrapAgreed(const Agreement& agreement, const QByteArray& encryptedKey,
                                              const platform::SecretBytes& sharedSecret) {
    QByteArray key = keyEncryptionKey(agreement, sharedSecret);
    const EVP_CIPHER* wrap = agreement.wrapKeyBytes == 16   ? EVP_aes_128_wrap()
                             : agreement.wrapKeyBytes == 24 ? EVP_aes_192_wrap()
                                                            : EVP_aes_256_wrap();
    const std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
    QByteArray plain(encryptedKey.size() + 16, '\0');
    auto* out = reinterpret_cast<unsigned char*>(plain.data());
    int length = 0, last = 0;
    const bool unwrapped =
        !key.isEmpty() && context &&
        EVP_DecryptInit_ex(context.get(), wrap, nullptr,
                           reinterpret_cast<const unsigned char*>(key.constData()), nullptr) == 1 &&
        EVP_DecryptUpdate(context.get(), out, &length,
                          reinterpret_cast<const unsigned char*>(encryptedKey.constData()),
                          static_cast<int>(encryptedKey.size())) == 1 &&
        EVP_DecryptFinal_ex(context.get(), out + length, &last) == 1;
    platform::SecretBytes contentKey(unwrapped ? QByteArray(plain.constData(), length + last) : QByteArray());
    OPENSSL_cleanse(plain.data(), static_cast<std::size_t>(plain.size()));
    OPENSSL_cleanse(key.data(), static_cast<std::size_t>(key.size()));
    return contentKey;
}

platform::SecretBytes SealedPin::open(const platform::SecretBytes& contentKey) const {
    const std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
    QByteArray plain(encrypted_.size() + 16, '\0');
    const auto* key = reinterpret_cast<const unsigned char*>(contentKey.c_str());
    auto* out = reinterpret_cast<unsigned char*>(plain.data());
    int length = 0, last = 0;
    const bool opened =
        contentKey.size() == 32 && context &&
        EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(nonce_.size()),
                            nullptr) == 1 &&
        EVP_DecryptInit_ex(context.get(), nullptr, nullptr, key,
                           reinterpret_cast<const unsigned char*>(nonce_.constData())) == 1 &&
        (authenticatedAttributes_.isEmpty() ||
         EVP_DecryptUpdate(context.get(), nullptr, &length,
                           reinterpret_cast<const unsigned char*>(authenticatedAttributes_.constData()),
                           static_cast<int>(authenticatedAttributes_.size())) == 1) &&
        EVP_DecryptUpdate(context.get(), out, &length,
                          reinterpret_cast<const unsigned char*>(encrypted_.constData()),
                          static_cast<int>(encrypted_.size())) == 1 &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(tag_.size()),
                            const_cast<char*>(tag_.constData())) == 1 &&
        EVP_DecryptFinal_ex(context.get(), out + length, &last) == 1;
    QByteArray secret = opened ? QByteArray(plain.constData(), length + last) : QByteArray();
    OPENSSL_cleanse(plain.data(), static_cast<std::size_t>(plain.size()));
    if (!opened)
        throw Failure(kPinRefused, text("RecoveryKeyWrong"));
    return platform::SecretBytes(std::move(secret));
}

} // namespace cli
