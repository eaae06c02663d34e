#include "token_recovery_key.h"

#include "cli_texts.h"
#include "failure.h"
#include "sealed_pin.h"
#include "token/lib/nss_registration.h"
#include "token/lib/pkcs11/pkcs11_module.h"
#include "token/lib/pkcs11/token_text.h"
#include "token/lib/quillard_errors.h"

#include <memory>
#include <openssl/crypto.h>
#include <string>
#include <vector>

namespace cli {

namespace {

using quillard::pkcs11::Pkcs11Module;

constexpr std::size_t kFieldLimit = 64;

[[noreturn]] void tokenFailed(const char* function, CK_RV rv) {
    throw Failure(kFailed, text("RecoveryTokenFailed").arg(QString::fromLatin1(function)).arg(rv, 0, 16));
}

std::unique_ptr<Pkcs11Module> loadModule(const Pkcs11Uri& uri) {
    std::string name;
    if (const std::optional<QByteArray> given = uri.module())
        name = given->toStdString();
    else if (const auto own = quillard::NssRegistration::modulePath())
        name = own->string();
    else
        name = "pellorzu-vkey-pkcs11.so";
    std::unique_ptr<Pkcs11Module> module;
    const quillard::Result result = Pkcs11Module::loadNamed(name, module);
    if (result != QR_OK)
        throw Failure(kFailed, text("RecoveryModuleUnusable").arg(QString::fromStdString(name)));
    return module;
}

bool fieldMatches(const Pkcs11Uri& uri, const char* name, const unsigned char* field, std::size_t size) {
    const std::optional<QByteArray> wanted = uri.attribute(name);
    return !wanted || quillard::pkcs11::paddedFieldText(field, size, kFieldLimit) == wanted->toStdString();
}

// The one slot whose token the URI names.
CK_SLOT_ID findSlot(CK_FUNCTION_LIST* p11, const Pkcs11Uri& uri, const QString& uriText) {
    CK_ULONG count = 0;
    if (CK_RV rv = p11->C_GetSlotList(CK_TRUE, nullptr, &count); rv != CKR_OK)
        tokenFailed("C_GetSlotList", rv);
    std::vector<CK_SLOT_ID> present(count);
    if (CK_RV rv = p11->C_GetSlotList(CK_TRUE, present.data(), &count); rv != CKR_OK)
        tokenFailed("C_GetSlotList", rv);
    present.resize(count);
    std::vector<CK_SLOT_ID> matching;
    for (CK_SLOT_ID slot : present) {
        CK_TOKEN_INFO info{};
        if (p11->C_GetTokenInfo(slot, &info) != CKR_OK || (uri.slotId() && *uri.slotId() != slot))
            continue;
        if (fieldMatches(uri, "token", info.label, sizeof info.label) &&
            fieldMatches(uri, "manufacturer", info.manufacturerID, sizeof info.manufacturerID) &&
            fieldMatches(uri, "serial", info.serialNumber, sizeof info.serialNumber) &&
            fieldMatches(uri, "model", info.model, sizeof info.model))
            matching.push_back(slot);
    }
    if (matching.size() != 1)
        throw Failure(kNoSuchKey, text("RecoveryTokenNotFound").arg(uriText).arg(matching.size()));
    return matching.front();
}

// A session that logs out and closes when it goes.
class TokenSession {
public:
    TokenSession(CK_FUNCTION_LIST* p11, CK_SLOT_ID slot) : p11_(p11) {
        if (CK_RV rv = p11_->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &handle_);
            rv != CKR_OK)
            tokenFailed("C_OpenSession", rv);
    }
    ~TokenSession() {
        if (loggedIn_)
            p11_->C_Logout(handle_);
        p11_->C_CloseSession(handle_);
    }
    TokenSession(const TokenSession&) = delete;
    TokenSession& operator=(const TokenSession&) = delete;

    void logIn(const platform::SecretBytes& pin) {
        auto* bytes = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin.c_str()));
        const CK_RV rv = p11_->C_Login(handle_, CKU_USER, bytes, static_cast<CK_ULONG>(pin.size()));
        if (rv == CKR_PIN_INCORRECT || rv == CKR_PIN_LOCKED || rv == CKR_PIN_LEN_RANGE)
            throw Failure(kPinRefused, text("RecoveryTokenPinRefused"));
        if (rv != CKR_OK && rv != CKR_USER_ALREADY_LOGGED_IN)
            tokenFailed("C_Login", rv);
        loggedIn_ = rv == CKR_OK;
    }

    CK_OBJECT_HANDLE findPrivateKey(const Pkcs11Uri& uri, const QString& uriText) const {
        CK_OBJECT_CLASS keyClass = CKO_PRIVATE_KEY;
        QByteArray label = uri.attribute("object").value_or(QByteArray());
        QByteArray id = uri.attribute("id").value_or(QByteArray());
        std::vector<CK_ATTRIBUTE> filter{{CKA_CLASS, &keyClass, sizeof keyClass}};
        if (uri.attribute("object"))
            filter.push_back({CKA_LABEL, label.data(), static_cast<CK_ULONG>(label.size())});
        if (uri.attribute("id"))
            filter.push_back({CKA_ID, id.data(), static_cast<CK_ULONG>(id.size())});
        if (CK_RV rv = p11_->C_FindObjectsInit(handle_, filter.data(), static_cast<CK_ULONG>(filter.size()));
            rv != CKR_OK)
            tokenFailed("C_FindObjectsInit", rv);
        CK_OBJECT_HANDLE found[2];
        CK_ULONG count = 0;
        const CK_RV rv = p11_->C_FindObjects(handle_, found, 2, &count);
        p11_->C_FindObjectsFinal(handle_);
        if (rv != CKR_OK)
            tokenFailed("C_FindObjects", rv);
        if (count != 1)
            throw Failure(kNoSuchKey, text("RecoveryTokenKeyNotFound").arg(uriText).arg(count));
        return found[0];
    }

    CK_KEY_TYPE keyType(CK_OBJECT_HANDLE key) const {
        CK_KEY_TYPE type = CKK_VENDOR_DEFINED;
        CK_ATTRIBUTE attribute{CKA_KEY_TYPE, &type, sizeof type};
        if (CK_RV rv = p11_->C_GetAttributeValue(handle_, key, &attribute, 1); rv != CKR_OK)
            tokenFailed("C_GetAttributeValue", rv);
        return type;
    }

    // The content key `recipient` carries, decrypted with `key`; empty when the key cannot decrypt it
    // (another recipient's).
    platform::SecretBytes decrypt(CK_OBJECT_HANDLE key, const SealedPin::Recipient& recipient) const {
        CK_RSA_PKCS_OAEP_PARAMS oaep{CKM_SHA256, CKG_MGF1_SHA256, CKZ_DATA_SPECIFIED, nullptr, 0};
        CK_MECHANISM mechanism{CKM_RSA_PKCS, nullptr, 0};
        if (recipient.transport == SealedPin::Transport::RsaOaepSha256)
            mechanism = {CKM_RSA_PKCS_OAEP, &oaep, sizeof oaep};
        if (CK_RV rv = p11_->C_DecryptInit(handle_, &mechanism, key); rv != CKR_OK)
            tokenFailed("C_DecryptInit", rv);
        QByteArray input = recipient.encryptedKey;
        std::vector<CK_BYTE> plain(static_cast<std::size_t>(input.size()));
        CK_ULONG length = static_cast<CK_ULONG>(plain.size());
        const CK_RV rv = p11_->C_Decrypt(handle_, reinterpret_cast<CK_BYTE*>(input.data()),
                                         static_cast<CK_ULONG>(input.size()), plain.data(), &length);
        platform::SecretBytes contentKey;
        if (rv == CKR_OK)
            contentKey = platform::SecretBytes(
                QByteArray(reinterpret_cast<const char*>(plain.data()), static_cast<qsizetype>(length)));
        OPENSSL_cleanse(plain.data(), plain.size());
        return contentKey;
    }

    // The secret `key` agrees by ECDH with the other party's `point`, read back from a short-lived session
    // object that is destroyed at once; empty when the token refuses the point (another curve's).
    platform::SecretBytes agree(CK_OBJECT_HANDLE key, QByteArray point) const {
        CK_ECDH1_DERIVE_PARAMS parameters{CKD_NULL, 0, nullptr, static_cast<CK_ULONG>(point.size()),
                                          reinterpret_cast<CK_BYTE*>(point.data())};
        CK_MECHANISM mechanism{CKM_ECDH1_DERIVE, &parameters, sizeof parameters};
        CK_OBJECT_CLASS secretClass = CKO_SECRET_KEY;
        CK_KEY_TYPE keyType = CKK_GENERIC_SECRET;
        CK_BBOOL no = CK_FALSE, yes = CK_TRUE;
        CK_ATTRIBUTE wanted[] = {{CKA_CLASS, &secretClass, sizeof secretClass},
                                 {CKA_KEY_TYPE, &keyType, sizeof keyType},
                                 {CKA_TOKEN, &no, sizeof no},
                                 {CKA_SENSITIVE, &no, sizeof no},
                                 {CKA_EXTRACTABLE, &yes, sizeof yes}};
        CK_OBJECT_HANDLE secret = CK_INVALID_HANDLE;
        const CK_RV rv = p11_->C_DeriveKey(handle_, &mechanism, key, wanted, 5, &secret);
        if (rv == CKR_MECHANISM_PARAM_INVALID || rv == CKR_DOMAIN_PARAMS_INVALID)
            return {};
        if (rv != CKR_OK)
            tokenFailed("C_DeriveKey", rv);
        std::vector<CK_BYTE> value(128);
        CK_ATTRIBUTE read{CKA_VALUE, value.data(), static_cast<CK_ULONG>(value.size())};
        const CK_RV readRv = p11_->C_GetAttributeValue(handle_, secret, &read, 1);
        p11_->C_DestroyObject(handle_, secret);
        platform::SecretBytes agreed;
        if (readRv == CKR_OK)
            agreed = platform::SecretBytes(QByteArray(reinterpret_cast<const char*>(value.data()),
                                                      static_cast<qsizetype>(read.ulValueLen)));
        OPENSSL_cleanse(value.data(), value.size());
        if (readRv != CKR_OK)
            tokenFailed("C_GetAttributeValue", readRv);
        return agreed;
    }

private:
    CK_FUNCTION_LIST* p11_;
    CK_SESSION_HANDLE handle_ = CK_INVALID_HANDLE;
    bool loggedIn_ = false;
};

} // namespace

TokenRecoveryKey::TokenRecoveryKey(const QString& uri, std::function<platform::SecretBytes()> userPin)
    : text_(uri), uri_(uri), userPin_(std::move(userPin)) {}

platform::SecretBytes TokenRecoveryKey::open(const QByteArray& sealed) const {
    const SealedPin pin(sealed);
    const std::unique_ptr<Pkcs11Module> module = loadModule(uri_);
    CK_FUNCTION_LIST* p11 = module->functions();
    TokenSession session(p11, findSlot(p11, uri_, text_));
    session.logIn(userPin_());
    const CK_OBJECT_HANDLE key = session.findPrivateKey(uri_, text_);
    const CK_KEY_TYPE type = session.keyType(key);
    if (type == CKK_RSA) {
        for (const SealedPin::Recipient& recipient : pin.recipients())
            if (const platform::SecretBytes contentKey = session.decrypt(key, recipient);
                !contentKey.isEmpty())
                return pin.open(contentKey);
    } else if (type == CKK_EC) {
        for (const SealedPin::Agreement& agreement : pin.agreements())
            if (const platform::SecretBytes secret = session.agree(key, agreement.originatorPoint);
                !secret.isEmpty())
                for (const QByteArray& encryptedKey : agreement.encryptedKeys)
                    if (const platform::SecretBytes contentKey =
                            SealedPin::unwrapAgreed(agreement, encryptedKey, secret);
                        !contentKey.isEmpty())
                        return pin.open(contentKey);
    } else {
        throw Failure(kFailed, text("RecoveryTokenKeyType"));
    }
    throw Failure(kPinRefused, text("RecoveryKeyWrong"));
}

} // namespace cli
