#include "cert_info.h"

#include "openssl_handles.h"
#include "quillard_errors.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <climits>
#include <ctime>
#include <optional>

namespace quillard {

namespace {

constexpr char16_t ReplacementCharacter = 0xFFFD;

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot start one.
int utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Decodes one UTF-8 sequence at `text[i]`, advancing `i`. A malformed or cut-off sequence yields one U+FFFD
// and is skipped as far as it was well-formed.
char32_t decodeUtf8(const std::string& text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = utf8SequenceLength(lead);
    if (length == 0) {
        ++i;
        return ReplacementCharacter;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            i += k;
            return ReplacementCharacter;
        }
        code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    static constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    i += length;
    bool valid = code >= Smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    return valid ? code : ReplacementCharacter;
}

// UTF-8 to UTF-16, at most `limit` units; a character that does not fit whole is left out.
std::u16string utf8ToUtf16(const std::string& text, std::size_t limit) {
    std::u16string result;
    for (std::size_t i = 0; i < text.size();) {
        char32_t code = decodeUtf8(text, i);
        std::size_t units = code > 0xFFFF ? 2 : 1;
        if (result.size() + units > limit)
            break;
        if (units == 1) {
            result.push_back(static_cast<char16_t>(code));
        } else {
            code -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        }
    }
    return result;
}

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

std::string serialText(const ASN1_INTEGER* serial) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text = ASN1_STRING_type(serial) == V_ASN1_NEG_INTEGER ? "-" : "";
    const unsigned char* data = ASN1_STRING_get0_data(serial);
    const int length = ASN1_STRING_length(serial);
    if (length == 0)
        text += "00";
    for (int i = 0; i < length && text.size() + 2 <= MaxCertInfoText; ++i) {
        text.push_back(Digits[data[i] >> 4]);
        text.push_back(Digits[data[i] & 0x0F]);
    }
    return text;
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

int32_t signatureAlgorithm(const X509* certificate) {
    int digest = NID_undef;
    int keyType = NID_undef;
    if (!OBJ_find_sigid_algs(X509_get_signature_nid(certificate), &digest, &keyType))
        return 1;
    bool rsaOrEcdsa =
        keyType == NID_rsaEncryption || keyType == NID_rsassaPss || keyType == NID_X9_62_id_ecPublicKey;
    return rsaOrEcdsa ? 0 : 1;
}

X509Ptr decodeExactly(const uint8_t* der, std::size_t length) {
    const unsigned char* cursor = der;
    X509Ptr certificate(d2i_X509(nullptr, &cursor, static_cast<long>(length)));
    ERR_clear_error();
    if (certificate && cursor == der + length)
        return certificate;
    return nullptr;
}

} // namespace

Result readCertInfo(const uint8_t* der, std::size_t length, CertInfo& out) {
    if (!der || length == 0 || length > static_cast<std::size_t>(LONG_MAX))
        return QR_ARGUMENTS_BAD;
    X509Ptr certificate = decodeExactly(der, length);
    if (!certificate)
        return QR_ARGUMENTS_BAD;
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

} // namespace quillard
