// What the window judges certificates with: the warning window (the user's reminder days from MgrConfig.ini,
// 30 when none is set) and the certificates of the key whose tree is shown, which the viewer's chain check
// takes its intermediate certificates from.
#pragma once

#include "token/flows/certificate_health.h"

#include <cstdint>
#include <vector>

namespace ui {

class CertHealthContext {
public:
    // The window's one context.
    static CertHealthContext& instance();

    int warningDays() const { return warningDays_; }
    // The reminder days of the user's settings; 0 or less keeps the default.
    void setWarningDays(int32_t days) { warningDays_ = token::flows::warningDaysFromSetting(days); }

    const std::vector<std::vector<uint8_t>>& keyCertificates() const { return keyCertificates_; }
    void setKeyCertificates(std::vector<std::vector<uint8_t>> certificates) {
        keyCertificates_ = std::move(certificates);
    }

private:
    int warningDays_ = token::flows::kDefaultExpiryWarningDays;
    std::vector<std::vector<uint8_t>> keyCertificates_;
};

} // namespace ui
