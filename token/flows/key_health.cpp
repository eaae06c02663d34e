#include "key_health.h"

#include "token/token_ops.h"

#include <algorithm>
#include <iterator>

namespace token::flows {

namespace {

std::vector<std::vector<uint8_t>> allCertificates(const CertificateList& list) {
    std::vector<std::vector<uint8_t>> certificates;
    for (const ContainerEntry& entry : list.containers)
        for (const ContainerCertificate& certificate : entry.certificates)
            certificates.push_back(certificate.info.certificate);
    return certificates;
}

PinReport readPin(int32_t slot, PinType type, bool initialised) {
    PinReport report;
    token_get_pin_state(slot, type, report.state);
    report.health = judgePin(report.state, token_get_pin_count_low(slot, type), initialised);
    return report;
}

bool isProblem(CertificateState state) {
    return state == CertificateState::Expired || state == CertificateState::NotYetValid;
}

KeyStatus pinStatus(PinHealth health) {
    if (health == PinHealth::Locked)
        return KeyStatus::Problem;
    if (health == PinHealth::Low || health == PinHealth::FinalTry)
        return KeyStatus::Warning;
    return KeyStatus::Ok;
}

KeyStatus certificateStatus(CertificateState state) {
    if (isProblem(state))
        return KeyStatus::Problem;
    return state == CertificateState::Expiring ? KeyStatus::Warning : KeyStatus::Ok;
}

} // namespace

std::vector<CertificateReport> judgeCertificates(const CertificateList& list, int64_t now, int warningDays) {
    const std::vector<std::vector<uint8_t>> onKey = allCertificates(list);
    std::vector<CertificateReport> reports;
    for (const ContainerEntry& entry : list.containers) {
        for (const ContainerCertificate& certificate : entry.certificates) {
            const auto health = judgeCertificate(certificate.info.certificate, now, warningDays);
            if (!health)
                continue;
            reports.push_back(
                {entry.name, certificate, *health, checkChain(certificate.info.certificate, onKey)});
        }
    }
    return reports;
}

KeyStatus keyStatus(const KeyHealth& health) {
    KeyStatus status = std::max(pinStatus(health.userPin.health), pinStatus(health.soPin.health));
    for (const CertificateReport& report : health.certificates)
        status = std::max(status, certificateStatus(report.health.state));
    return status;
}

KeyHealth readKeyHealth(int32_t slot, int64_t now, int warningDays) {
    KeyHealth health;
    if (slot < 0 || slot >= kKeySlots) {
        health.listCode = 1;
        return health;
    }
    const bool initialised = keyTable().keys[slot].initialised != 0;
    health.userPin = readPin(slot, PinType::User, initialised);
    health.soPin = readPin(slot, PinType::So, initialised);
    const CertificateList list = readCertificateList(slot);
    health.listCode = list.code;
    health.certificates = judgeCertificates(list, now, warningDays);
    health.status = keyStatus(health);
    return health;
}

std::vector<CertificateReport> expiringOrExpired(const KeyHealth& health) {
    std::vector<CertificateReport> reports;
    std::copy_if(health.certificates.begin(), health.certificates.end(), std::back_inserter(reports),
                 [](const CertificateReport& report) {
                     return report.health.state == CertificateState::Expiring ||
                            report.health.state == CertificateState::Expired;
                 });
    return reports;
}

} // namespace token::flows
