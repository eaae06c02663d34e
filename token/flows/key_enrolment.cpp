#include "key_enrolment.h"

#include "token/cert_presence.h"
#include "token/key_table.h"
#include "token/lib/quillard_errors.h"
#include "token/token_ops.h"

#include <algorithm>
#include <array>
#include <utility>

namespace token::flows {

namespace {

constexpr int32_t kCertificateRoom = 8192;

struct NamedKind {
    const char* name;
    const char* caption;
    KeyPairKind kind;
};

constexpr std::array<NamedKind, 5> kNamedKinds{{
    {"rsa2048", "RSA 2048", {0, 2048}},
    {"rsa3072", "RSA 3072", {0, 3072}},
    {"rsa4096", "RSA 4096", {0, 4096}},
    {"ec-p256", "EC P-256", {3, 256}},
    {"ec-p384", "EC P-384", {3, 384}},
}};

const NamedKind* namedKind(const KeyPairKind& kind) {
    const auto found = std::ranges::find(kNamedKinds, kind, &NamedKind::kind);
    return found == kNamedKinds.end() ? nullptr : &*found;
}

const std::vector<std::pair<std::string, int32_t>>& usageTemplates() {
    static const std::vector<std::pair<std::string, int32_t>> templates{
        {"client", QUILLARD_USAGE_CLIENT},        {"server", QUILLARD_USAGE_SERVER},
        {"email", QUILLARD_USAGE_EMAIL},          {"codesign", QUILLARD_USAGE_CODE_SIGNING},
        {"smartcard", QUILLARD_USAGE_SMART_CARD}, {"none", QUILLARD_USAGE_NONE}};
    return templates;
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kPemLine = 64;

std::string base64(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t chunk = (uint32_t(bytes[i]) << 16) |
                               (i + 1 < bytes.size() ? uint32_t(bytes[i + 1]) << 8 : 0) |
                               (i + 2 < bytes.size() ? uint32_t(bytes[i + 2]) : 0);
        out += kBase64[(chunk >> 18) & 63];
        out += kBase64[(chunk >> 12) & 63];
        out += i + 1 < bytes.size() ? kBase64[(chunk >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kBase64[chunk & 63] : '=';
    }
    return out;
}

std::vector<std::string> containerNames(int32_t slot) {
    if (slot < 0 || slot >= kKeySlots)
        return {};
    TZartoInfo& record = keyTable().keys[slot];
    if (LoadContainerList(slot, record) != QR_OK)
        return {};
    const int32_t count = std::clamp(record.containerCount, 0, kMaxContainers);
    return std::vector<std::string>(record.containerNames.begin(), record.containerNames.begin() + count);
}

} // namespace

std::string keyKindName(const KeyPairKind& kind) {
    const NamedKind* named = namedKind(kind);
    return named ? named->name : std::string();
}

std::string keyKindCaption(const KeyPairKind& kind) {
    const NamedKind* named = namedKind(kind);
    return named ? named->caption : std::string();
}

std::optional<KeyPairKind> parseKeyKind(const std::string& name) {
    const auto found =
        std::ranges::find(kNamedKinds, name, [](const NamedKind& kind) { return std::string(kind.name); });
    return found == kNamedKinds.end() ? std::nullopt : std::optional(found->kind);
}

std::optional<int32_t> parseUsageTemplate(const std::string& name) {
    for (const auto& [word, usage] : usageTemplates())
        if (word == name)
            return usage;
    return std::nullopt;
}

const std::vector<std::string>& usageTemplateNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> words;
        for (const auto& entry : usageTemplates())
            words.push_back(entry.first);
        return words;
    }();
    return names;
}

OfferedKinds offeredKeyKinds(int32_t slot) {
    OfferedKinds offered;
    offered.code = token_get_keygen_algorithms(slot, offered.kinds);
    return offered;
}

PlaceUse placeUse(int32_t slot, const std::string& container, int32_t spec) {
    std::vector<uint8_t> certificate(kCertificateRoom);
    int32_t length = kCertificateRoom;
    const int32_t found = container_get_cert(slot, container, spec, certificate.data(), length);
    if (found == QR_OK || found == QR_BUFFER_TOO_SMALL)
        return PlaceUse::Taken;
    if (found == QR_CONTAINER_NOT_FOUND)
        return PlaceUse::Free;
    int32_t algorithm = 0;
    const bool keyThere = container_get_pubkey(slot, container, spec, algorithm) == QR_OK ||
                          container_get_prikey(slot, container, spec, algorithm) == QR_OK;
    return keyThere ? PlaceUse::KeyPairOnly : PlaceUse::Free;
}

bool isFreePlace(int32_t slot, const std::string& container, int32_t spec) {
    return placeUse(slot, container, spec) == PlaceUse::Free;
}

PlaceUse ContainerPlaces::of(int32_t spec) const {
    return spec == kSignatureSpec ? signature : exchange;
}

EnrolmentChoices enrolmentChoices(int32_t slot) {
    EnrolmentChoices choices;
    choices.code = token_get_keygen_algorithms(slot, choices.kinds);
    for (const std::string& container : containerNames(slot))
        choices.containers.push_back(
            {container, placeUse(slot, container, kExchangeSpec), placeUse(slot, container, kSignatureSpec)});
    return choices;
}

std::string oneLineSubject(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string subject;
    for (const auto& [attribute, value] : fields) {
        if (value.empty())
            continue;
        subject += "/" + attribute + "=";
        for (const char c : value) {
            if (c == '/' || c == '\\')
                subject += '\\';
            subject += c;
        }
    }
    return subject;
}

std::string pemText(const std::vector<uint8_t>& der, const std::string& label) {
    const std::string encoded = base64(der);
    std::string pem = "-----BEGIN " + label + "-----\n";
    for (std::size_t at = 0; at < encoded.size(); at += kPemLine)
        pem += encoded.substr(at, kPemLine) + "\n";
    return pem + "-----END " + label + "-----\n";
}

EnrolmentOutcome runEnrolment(const EnrolmentJob& job) {
    EnrolmentOutcome outcome;
    if (job.generate) {
        outcome.code = container_generate_keypair(job.slot, job.container, job.spec, *job.generate);
        if (outcome.code != QR_OK) {
            outcome.stage = EnrolmentStage::Generate;
            return outcome;
        }
    }
    if (job.buildDocument) {
        outcome.code = container_build_request(job.slot, job.container, job.spec, job.fields, job.selfSigned,
                                               outcome.document);
        if (outcome.code != QR_OK) {
            outcome.stage = EnrolmentStage::Build;
            return outcome;
        }
    }
    if (job.selfSigned && job.installSelfSigned) {
        std::string container;
        int32_t spec = 0;
        outcome.code = container_install_cert(job.slot, outcome.document, container, spec);
        if (outcome.code != QR_OK) {
            outcome.stage = EnrolmentStage::Install;
            return outcome;
        }
    }
    outcome.stage = EnrolmentStage::Done;
    return outcome;
}

} // namespace token::flows
