#include "ssh_public_key.h"

#include <QByteArray>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace cli {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct NumberFree {
    void operator()(BIGNUM* number) const { BN_free(number); }
};
using KeyHandle = std::unique_ptr<EVP_PKEY, KeyFree>;
using NumberHandle = std::unique_ptr<BIGNUM, NumberFree>;

// The SSH wire form: a 32-bit big-endian length, then the bytes.
void putString(QByteArray& out, const QByteArray& bytes) {
    const auto length = static_cast<uint32_t>(bytes.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((length >> shift) & 0xFF));
    out.append(bytes);
}

// An mpint: the magnitude big-endian, with a zero byte before a leading byte whose top bit is set.
bool putNumber(QByteArray& out, const EVP_PKEY* key, const char* name) {
    BIGNUM* raw = nullptr;
    if (!EVP_PKEY_get_bn_param(key, name, &raw))
        return false;
    NumberHandle number(raw);
    QByteArray bytes(BN_num_bytes(number.get()), '\0');
    BN_bn2bin(number.get(), reinterpret_cast<unsigned char*>(bytes.data()));
    if (!bytes.isEmpty() && (static_cast<unsigned char>(bytes[0]) & 0x80))
        bytes.prepend('\0');
    putString(out, bytes);
    return true;
}

bool rsaBlob(const EVP_PKEY* key, QByteArray& type, QByteArray& blob) {
    type = "ssh-rsa";
    putString(blob, type);
    return putNumber(blob, key, OSSL_PKEY_PARAM_RSA_E) && putNumber(blob, key, OSSL_PKEY_PARAM_RSA_N);
}

bool ecBlob(const EVP_PKEY* key, QByteArray& type, QByteArray& blob) {
    char group[64] = {};
    if (!EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, nullptr))
        return false;
    const QByteArray curve = QByteArray(group) == "prime256v1"  ? "nistp256"
                             : QByteArray(group) == "secp384r1" ? "nistp384"
                                                                : QByteArray();
    QByteArray point(160, '\0');
    std::size_t length = 0;
    if (curve.isEmpty() || !EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY,
                                                            reinterpret_cast<unsigned char*>(point.data()),
                                                            static_cast<std::size_t>(point.size()), &length))
        return false;
    point.resize(static_cast<qsizetype>(length));
    type = "ecdsa-sha2-" + curve;
    putString(blob, type);
    putString(blob, curve);
    putString(blob, point);
    return true;
}

} // namespace

std::string opensshPublicKey(const std::vector<uint8_t>& subjectPublicKeyInfo, const std::string& comment) {
    const unsigned char* cursor = subjectPublicKeyInfo.data();
    KeyHandle key(d2i_PUBKEY(nullptr, &cursor, static_cast<long>(subjectPublicKeyInfo.size())));
    QByteArray type, blob;
    const bool made = key && (EVP_PKEY_is_a(key.get(), "RSA")  ? rsaBlob(key.get(), type, blob)
                              : EVP_PKEY_is_a(key.get(), "EC") ? ecBlob(key.get(), type, blob)
                                                               : false);
    ERR_clear_error();
    if (!made)
        return {};
    return (type + " " + blob.toBase64()).toStdString() + (comment.empty() ? "" : " " + comment);
}

} // namespace cli
