// Certificate information through the exported function: texts stay inside their 257-unit buffers and end
// with a NUL, and an accepted certificate has version 1, 2 or 3.
#include "fuzz_input_file.h"
#include "token/lib/quillard.h"
#include "token/lib/quillard_errors.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int kTextUnits = 257;
constexpr int kGuard = 16;

template <typename Unit> bool endsInside(const Unit* text) {
    return std::find(text, text + kTextUnits, Unit(0)) != text + kTextUnits;
}

template <typename Unit> bool guardIntact(const Unit* text, Unit sentinel) {
    return std::all_of(text + kTextUnits, text + kTextUnits + kGuard, [&](Unit u) { return u == sentinel; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0 || size > INT_MAX)
        return 0;
    uint16_t subject[kTextUnits + kGuard];
    uint16_t issuer[kTextUnits + kGuard];
    char serial[kTextUnits + kGuard];
    std::fill(std::begin(subject), std::end(subject), uint16_t(0xA5A5));
    std::fill(std::begin(issuer), std::end(issuer), uint16_t(0xA5A5));
    std::fill(std::begin(serial), std::end(serial), char(0x5A));
    int32_t version = 0;
    int32_t validFrom[9];
    int32_t validTo[9];
    int32_t algorithm = -1;
    const int32_t result = helper_get_cert_info2(data, static_cast<int32_t>(size), subject, issuer, &version,
                                                 serial, validFrom, validTo, &algorithm);
    require(guardIntact(subject, uint16_t(0xA5A5)) && guardIntact(issuer, uint16_t(0xA5A5)) &&
            guardIntact(serial, char(0x5A)));
    if (result != QR_OK)
        return 0;
    require(endsInside(subject) && endsInside(issuer) && endsInside(serial));
    require(version >= 1 && version <= 3);
    require(algorithm == 0 || algorithm == 1);
    return 0;
}
