// The health of a whole key: its user and SO PIN and every certificate it shows, each judged, and the key's
// status from them. The window's notice and tree and the command line's check read keys through this.
#pragma once

#include "certificate_health.h"
#include "certificate_list.h"
#include "pin_health.h"

#include <cstdint>
#include <string>
#include <vector>

namespace token::flows {

struct PinReport {
    TPinState state{};
    PinHealth health = PinHealth::Unknown;
};

struct CertificateReport {
    std::string container;
    ContainerCertificate certificate;
    CertificateHealth health;
    ChainResult chain = ChainResult::IssuerUnknown;
};

enum class KeyStatus { Ok, Warning, Problem };

struct KeyHealth {
    int32_t listCode = 0; // the result of reading the certificate list; 0 when it was read
    PinReport userPin;
    PinReport soPin;
    std::vector<CertificateReport> certificates;
    KeyStatus status = KeyStatus::Ok;
};

// Judges every certificate of `list` at `now`, each chain against the others of the list.
std::vector<CertificateReport> judgeCertificates(const CertificateList& list, int64_t now, int warningDays);

// The key's status: a problem for an expired or not yet valid certificate or a locked PIN, a warning for an
// expiring certificate or a PIN low or on its final try, otherwise ok.
KeyStatus keyStatus(const KeyHealth& health);

// Reads and judges key `slot`: the PIN states, then the certificate list (what the key shows in its current
// login state). A slot outside the key table gives list code 1 and nothing judged.
KeyHealth readKeyHealth(int32_t slot, int64_t now, int warningDays);

// The certificates of `health` that expire within the warning window or have expired, which the window's
// notice after a scan names.
std::vector<CertificateReport> expiringOrExpired(const KeyHealth& health);

} // namespace token::flows
