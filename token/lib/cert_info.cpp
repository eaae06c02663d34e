#include "cert_info.h"

#include "der_coding.h"
#include "hex_text.h"
#include "openssl_handles.h"
#include "openssl_providers.h"
#include "quillard_errors.h"
#include "utf8_text.h"

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/provider.h>

#include <algorithm>
#include <ctime>
#include <list>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace quillard {

namespace {

// The text of a name entry in UTF-8, whatever string type the certificate uses; nothing for a value that is
// no text (a name may hold any ASN.1 value).
std::optional<std::string> entryText(const X509_NAME_ENTRY* entry) {
    unsigned char* utf8 = nullptr;
    int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(entry));
    if (length < 0) {
        ERR_clear_error();
        return std::nullopt;
    }
    std::string text(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
    OPENSSL_free(utf8);
    return text;
}

std::string oneLineName(const X509_NAME* name) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    const unsigned long flags =
        (ASN1_STRFLGS_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) | XN_FLAG_SEP_CPLUS_SPC | XN_FLAG_FN_SN;
    if (!bio || X509_NAME_print_ex(bio.get(), name, 0, flags) < 0)
        return {};
    char* data = nullptr;
    long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::u16string displayName(const X509_NAME* name) {
    for (int nid :
         {NID_commonName, NID_organizationName, NID_organizationalUnitName, NID_pkcs9_emailAddress}) {
        int index = X509_NAME_get_index_by_NID(name, nid, -1);
        std::optional<std::string> text;
        if (index >= 0)
            text = entryText(X509_NAME_get_entry(name, index));
        if (text)
            return utf8ToUtf16(*text, MaxCertInfoText);
    }
    return utf8ToUtf16(oneLineName(name), MaxCertInfoText);
}

// The serial as CertInfo::serial describes it, cut to the whole bytes that fit MaxCertInfoText.
std::string serialText(const ASN1_INTEGER* serial) {
    std::string text = ASN1_STRING_type(serial) == V_ASN1_NEG_INTEGER ? "-" : "";
    const std::size_t length = static_cast<std::size_t>(ASN1_STRING_length(serial));
    if (length == 0)
        return text + "00";
    const std::size_t fitting = std::min(length, (MaxCertInfoText - text.size()) / 2);
    return text + upperHex(ASN1_STRING_get0_data(serial), fitting);
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
long long daysFromCivil(long long year, int month, int day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool certDate(const ASN1_TIME* time, CertDate& out) {
    std::tm moment{};
    if (!time || !ASN1_TIME_to_tm(time, &moment))
        return false;
    const int year = moment.tm_year + 1900;
    const int month = moment.tm_mon + 1;
    const long long days = daysFromCivil(year, month, moment.tm_mday);
    const int dayOfWeek = static_cast<int>(((days + 4) % 7 + 7) % 7); // 1970-01-01 was a Thursday
    const int dayOfYear = static_cast<int>(days - daysFromCivil(year, 1, 1)) + 1;
    out = {year,      month, moment.tm_mday, moment.tm_hour, moment.tm_min, moment.tm_sec, dayOfWeek,
           dayOfYear, 0};
    return true;
}

// A library context without a single algorithm (only the `null` provider): a certificate decoded in it keeps
// its public key as bytes. Decoding the key, which OpenSSL 3.0 does for every certificate through its decoder
// machinery, costs nine tenths of the decoding, and nothing read from a certificate here needs the key. Never
// freed: it lives as long as OpenSSL.
OSSL_LIB_CTX* contextWithoutAlgorithms() {
    static OSSL_LIB_CTX* const context = [] {
        OSSL_LIB_CTX* made = OSSL_LIB_CTX_new();
        if (made && !OSSL_PROVIDER_load(made, "null")) {
            OSSL_LIB_CTX_free(made);
            made = nullptr;
        }
        ERR_clear_error();
        return made;
    }();
    return context;
}

// d2i_X509 in contextWithoutAlgorithms(), or in libraryContext() when there is none.
X509* decodeCertificate(X509** out, const unsigned char** der, long length) {
    OSSL_LIB_CTX* context = contextWithoutAlgorithms();
    if (!context)
        return decodeCertificateInLibraryContext(out, der, length);
    return reinterpret_cast<X509*>(ASN1_item_d2i_ex(reinterpret_cast<ASN1_VALUE**>(out), der, length,
                                                    ASN1_ITEM_rptr(X509), context, nullptr));
}

int32_t signatureAlgorithm(const X509* certificate) {
    int digest = NID_undef;
    int keyType = NID_undef;
    if (!OBJ_find_sigid_algs(X509_get_signature_nid(certificate), &digest, &keyType))
        return 1;
    bool rsaOrEcdsa =
        keyType == NID_rsaEncryption || keyType == NID_rsassaPss || keyType == NID_X9_62_id_ecPublicKey;
    return rsaOrEcdsa ? 0 : 1;
}

} // namespace

bool hasKnownVersion(const X509* certificate) {
    long version = X509_get_version(certificate); // 0 stands for version 1
    return version >= 0 && version <= 2;
}

// Decodes with OpenSSL, every time; the certificate's public key is left undecoded.
static Result parseCertInfo(const uint8_t* der, std::size_t length, CertInfo& out) {
    X509Ptr certificate = decodeWholeDer<X509Ptr>(decodeCertificate, der, length);
    if (!certificate)
        return QR_ARGUMENTS_BAD;
    if (!hasKnownVersion(certificate.get()))
        return QR_FILE_UNUSABLE;
    CertInfo info;
    if (!certDate(X509_get0_notBefore(certificate.get()), info.validFrom) ||
        !certDate(X509_get0_notAfter(certificate.get()), info.validTo)) {
        ERR_clear_error();
        return QR_ARGUMENTS_BAD;
    }
    info.subject = displayName(X509_get_subject_name(certificate.get()));
    info.issuer = displayName(X509_get_issuer_name(certificate.get()));
    info.version = static_cast<int32_t>(X509_get_version(certificate.get())) + 1;
    info.serial = serialText(X509_get0_serialNumber(certificate.get()));
    info.algorithm = signatureAlgorithm(certificate.get());
    out = std::move(info);
    return QR_OK;
}

namespace {

// What the certificates met lately decode to, so a tree read again and again decodes each certificate once.
// Keyed by the certificate's bytes themselves: a hit is the same certificate, never one that hashes alike.
// Bounded: the least recently used certificate goes first, and a certificate too long to be worth keeping is
// decoded every time.
class CertInfoCache {
public:
    static constexpr std::size_t kMostEntries = 512;
    static constexpr std::size_t kLongestKept = 16384;

    bool find(std::string_view der, CertInfo& out) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = index_.find(der);
        if (found == index_.end())
            return false;
        entries_.splice(entries_.begin(), entries_, found->second);
        out = found->second->info;
        return true;
    }

    void keep(std::string_view der, const CertInfo& info) {
        if (der.size() > kLongestKept)
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (index_.count(der))
            return;
        entries_.push_front(Entry{std::string(der), info});
        index_.emplace(entries_.front().der, entries_.begin());
        if (entries_.size() > kMostEntries) {
            index_.erase(entries_.back().der);
            entries_.pop_back();
        }
    }

    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        index_.clear();
        entries_.clear();
    }

private:
    struct Entry {
        std::string der;
        CertInfo info;
    };

    std::mutex mutex_;
    std::list<Entry> entries_; // the most recently used first; a node and its bytes never move
    std::unordered_map<std::string_view, std::list<Entry>::iterator> index_; // views of the entries' bytes
};

CertInfoCache& certInfoCache() {
    static CertInfoCache cache;
    return cache;
}

} // namespace

Result readCertInfo(const uint8_t* der, std::size_t length, CertInfo& out) {
    if (!der || length == 0)
        return QR_ARGUMENTS_BAD;
    const std::string_view bytes(reinterpret_cast<const char*>(der), length);
    if (certInfoCache().find(bytes, out))
        return QR_OK;
    CertInfo info;
    Result result = parseCertInfo(der, length, info);
    if (result != QR_OK)
        return result;
    certInfoCache().keep(bytes, info);
    out = std::move(info);
    return QR_OK;
}

void forgetCertInfos() {
    certInfoCache().clear();
}

} // namespace quillard
