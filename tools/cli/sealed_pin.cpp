#include "sealed_pin.h"

#include "cli_texts.h"
#include "failure.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

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
        if (recipient.tag != kSequence) // key agreement, key encryption key or password recipients
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
