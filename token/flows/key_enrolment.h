// Enrolment as the window and the command line run it on a logged-in key: which kinds of key pair the key
// offers, where a new pair may go, and the run that makes the pair (when asked) and then the request or the
// self-signed certificate for it.
#pragma once

#include "token/enrolment_ops.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace token::flows {

// The names the command line takes, "rsa2048", "rsa3072", "rsa4096", "ec-p256", "ec-p384", and the captions
// the window shows, "RSA 2048", "EC P-256".
std::string keyKindName(const KeyPairKind& kind);
std::string keyKindCaption(const KeyPairKind& kind);
std::optional<KeyPairKind> parseKeyKind(const std::string& name);

// The usage templates by their command-line names: "client", "server", "email", "codesign", "smartcard",
// "none".
std::optional<int32_t> parseUsageTemplate(const std::string& name);
const std::vector<std::string>& usageTemplateNames();

struct OfferedKinds {
    int32_t code = 0;
    std::vector<KeyPairKind> kinds; // in the library's order; empty when the key makes none
};
OfferedKinds offeredKeyKinds(int32_t slot);

// A key pair's place: a container and a key specification (1 exchange, 2 signature).
struct KeyPlace {
    std::string container;
    int32_t spec = 0;
    bool operator==(const KeyPlace&) const = default;
};

// What the place of `spec` in a container holds: nothing (a new pair may go there, as into a container not on
// the key yet), a key pair without certificate (a request may be made for it), or a certificate.
enum class PlaceUse { Free, KeyPairOnly, Taken };
PlaceUse placeUse(int32_t slot, const std::string& container, int32_t spec);
bool isFreePlace(int32_t slot, const std::string& container, int32_t spec);

struct ContainerPlaces {
    std::string container;
    PlaceUse exchange = PlaceUse::Free;
    PlaceUse signature = PlaceUse::Free;
    PlaceUse of(int32_t spec) const;
};

// Everything the request page offers for a logged-in key: the kinds it makes and its containers' places.
struct EnrolmentChoices {
    int32_t code = 0; // of the kinds; 0 also for a key that makes none
    std::vector<KeyPairKind> kinds;
    std::vector<ContainerPlaces> containers;
};
EnrolmentChoices enrolmentChoices(int32_t slot);

// The one-line subject of name fields, in the order given ({"CN", "Alice"}, {"O", "Example"}): empty values
// are left out, a '/' or '\' in a value is escaped.
std::string oneLineSubject(const std::vector<std::pair<std::string, std::string>>& fields);

// The PEM text of DER bytes under `label` ("CERTIFICATE REQUEST", "CERTIFICATE"), 64 characters a line.
std::string pemText(const std::vector<uint8_t>& der, const std::string& label);

// One run: generate a pair of `generate` first when set, then build the request (or self-signed
// certificate) for the pair at (container, spec).
struct EnrolmentJob {
    int32_t slot = -1;
    std::string container;
    int32_t spec = 1;
    std::optional<KeyPairKind> generate;
    CertificateRequestFields fields;
    bool selfSigned = false;
    bool buildDocument = true;      // false: generate only
    bool installSelfSigned = false; // store the self-signed certificate beside its pair
};

enum class EnrolmentStage { Generate, Build, Install, Done };

struct EnrolmentOutcome {
    EnrolmentStage stage = EnrolmentStage::Done; // where it stopped
    int32_t code = 0;                            // the library's code of that stage
    std::vector<uint8_t> document;               // DER request or certificate
};

EnrolmentOutcome runEnrolment(const EnrolmentJob& job);

} // namespace token::flows
