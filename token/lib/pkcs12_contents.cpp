#include "pkcs12_contents.h"

#include "der_coding.h"
#include "openssl_providers.h"
#include "quillard_errors.h"

#include <openssl/err.h>

#include <optional>

namespace quillard {

namespace {

// Safe-contents bags may nest; a hostile file must not drive the recursion arbitrarily deep.
constexpr int MaxBagNesting = 8;

enum class Outcome { Ok, DecryptionFailed, Malformed };

// A password as the PKCS#12 functions take it; `text` is null for an absent password.
struct Password {
    const char* text;
    int length;
};

std::vector<Password> passwordCandidates(const SecureString& password) {
    if (password.empty())
        return {{nullptr, 0}, {"", 0}};
    return {{password.c_str(), static_cast<int>(password.size())}};
}

std::vector<uint8_t> localKeyIdOf(const PKCS12_SAFEBAG* bag) {
    const ASN1_TYPE* attribute = PKCS12_SAFEBAG_get0_attr(bag, NID_localKeyID);
    if (!attribute || attribute->type != V_ASN1_OCTET_STRING)
        return {};
    const ASN1_OCTET_STRING* id = attribute->value.octet_string;
    const unsigned char* data = ASN1_STRING_get0_data(id);
    return {data, data + ASN1_STRING_length(id)};
}

// Walks the safe bags of one authenticated safe and keeps their keys and X.509 certificates.
class BagCollector {
public:
    BagCollector(Password password, Pkcs12Contents& out) : password_(password), out_(out) {}

    Outcome collect(const STACK_OF(PKCS12_SAFEBAG) * bags, int depth) {
        if (!bags || depth > MaxBagNesting)
            return Outcome::Malformed;
        for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
            Outcome outcome = collectBag(sk_PKCS12_SAFEBAG_value(bags, i), depth);
            if (outcome != Outcome::Ok)
                return outcome;
        }
        return Outcome::Ok;
    }

private:
    Outcome collectBag(const PKCS12_SAFEBAG* bag, int depth) {
        switch (PKCS12_SAFEBAG_get_nid(bag)) {
        case NID_keyBag:
            return addKey(PKCS12_SAFEBAG_get0_p8inf(bag), bag);
        case NID_pkcs8ShroudedKeyBag: {
            Pkcs8Ptr decrypted(
                PKCS12_decrypt_skey_ex(bag, password_.text, password_.length, libraryContext(), nullptr));
            if (!decrypted)
                return Outcome::DecryptionFailed;
            return addKey(decrypted.get(), bag);
        }
        case NID_certBag:
            return addCertificate(bag);
        case NID_safeContentsBag:
            return collect(PKCS12_SAFEBAG_get0_safes(bag), depth + 1);
        default: // CRLs and secrets are of no use to a key
            return Outcome::Ok;
        }
    }

    Outcome addKey(const PKCS8_PRIV_KEY_INFO* info, const PKCS12_SAFEBAG* bag) {
        EvpPkeyPtr key(info ? EVP_PKCS82PKEY_ex(info, libraryContext(), nullptr) : nullptr);
        if (!key)
            return Outcome::Malformed;
        out_.keys.push_back({std::move(key), localKeyIdOf(bag)});
        return Outcome::Ok;
    }

    Outcome addCertificate(const PKCS12_SAFEBAG* bag) {
        if (PKCS12_SAFEBAG_get_bag_nid(bag) != NID_x509Certificate)
            return Outcome::Ok;
        // OpenSSL decodes the bag's certificate in the default context; its DER (kept exactly as read) is
        // decoded again in libraryContext(), so its public key is one of that context.
        X509Ptr read(PKCS12_SAFEBAG_get1_cert(bag));
        std::vector<uint8_t> der;
        if (!read || !encodeDer(i2d_X509, read.get(), der))
            return Outcome::Malformed;
        X509Ptr certificate =
            decodeWholeDer<X509Ptr>(decodeCertificateInLibraryContext, der.data(), der.size());
        if (!certificate)
            return Outcome::Malformed;
        out_.certificates.push_back({std::move(certificate), localKeyIdOf(bag)});
        return Outcome::Ok;
    }

    Password password_;
    Pkcs12Contents& out_;
};

STACK_OF(PKCS12_SAFEBAG) * unpackSafe(PKCS7* safe, Password password, Outcome& outcome) {
    if (PKCS7_type_is_data(safe)) {
        STACK_OF(PKCS12_SAFEBAG)* bags = PKCS12_unpack_p7data(safe);
        outcome = bags ? Outcome::Ok : Outcome::Malformed;
        return bags;
    }
    if (PKCS7_type_is_encrypted(safe)) {
        STACK_OF(PKCS12_SAFEBAG)* bags = PKCS12_unpack_p7encdata(safe, password.text, password.length);
        outcome = bags ? Outcome::Ok : Outcome::DecryptionFailed;
        return bags;
    }
    outcome = Outcome::Ok; // a safe encrypted to a recipient's public key cannot be opened with a password
    return nullptr;
}

Outcome readWithPassword(PKCS12* p12, Password password, Pkcs12Contents& out) {
    Pkcs12Contents contents;
    Pkcs7StackPtr safes(PKCS12_unpack_authsafes(p12));
    if (!safes)
        return Outcome::Malformed;
    BagCollector collector(password, contents);
    for (int i = 0; i < sk_PKCS7_num(safes.get()); ++i) {
        Outcome outcome = Outcome::Ok;
        SafeBagStackPtr bags(unpackSafe(sk_PKCS7_value(safes.get(), i), password, outcome));
        if (outcome == Outcome::Ok && bags)
            outcome = collector.collect(bags.get(), 0);
        if (outcome != Outcome::Ok)
            return outcome;
    }
    out = std::move(contents);
    return Outcome::Ok;
}

// Content that will not decrypt although the password is right most likely uses a cipher of the legacy
// provider.
Result decryptionFailureCode(Result otherwise) {
    return ensureOpenSslProviders().legacyLoaded ? otherwise : QR_FUNCTION_NOT_SUPPORTED;
}

// The candidate whose MAC matches. A MAC that cannot be computed at all (an unknown digest) is no sign of a
// wrong password and makes the file unusable.
Result findMacPassword(PKCS12* p12, const std::vector<Password>& candidates, std::optional<Password>& found) {
    for (const Password& candidate : candidates) {
        ERR_clear_error();
        if (PKCS12_verify_mac(p12, candidate.text, candidate.length)) {
            found = candidate;
            return QR_OK;
        }
        bool computed = ERR_peek_error() == 0; // a plain mismatch raises no error
        ERR_clear_error();
        if (!computed)
            return QR_FILE_UNUSABLE;
    }
    return QR_WRONG_PASSWORD;
}

Result readMacProtected(PKCS12* p12, const std::vector<Password>& candidates, Pkcs12Contents& out) {
    std::optional<Password> password;
    if (Result result = findMacPassword(p12, candidates, password); result != QR_OK)
        return result;
    switch (readWithPassword(p12, *password, out)) {
    case Outcome::Ok:
        return QR_OK;
    case Outcome::DecryptionFailed:
        return decryptionFailureCode(QR_FILE_UNUSABLE);
    default:
        return QR_FILE_UNUSABLE;
    }
}

Result readWithoutMac(PKCS12* p12, const std::vector<Password>& candidates, Pkcs12Contents& out) {
    for (const Password& candidate : candidates) {
        Outcome outcome = readWithPassword(p12, candidate, out);
        if (outcome == Outcome::Ok)
            return QR_OK;
        if (outcome == Outcome::Malformed)
            return QR_FILE_UNUSABLE;
    }
    return decryptionFailureCode(QR_WRONG_PASSWORD);
}

} // namespace

Result readPkcs12Contents(PKCS12* p12, const SecureString& password, Pkcs12Contents& out) {
    ensureOpenSslProviders();
    const std::vector<Password> candidates = passwordCandidates(password);
    Result result = PKCS12_mac_present(p12) ? readMacProtected(p12, candidates, out)
                                            : readWithoutMac(p12, candidates, out);
    ERR_clear_error();
    return result;
}

} // namespace quillard
