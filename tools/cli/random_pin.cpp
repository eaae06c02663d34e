#include "random_pin.h"

#include "cli_texts.h"
#include "failure.h"
#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>
#include <utility>

namespace cli {

namespace {

// Bytes from 250 up are dropped so that each digit is equally likely.
constexpr unsigned char kUniformLimit = 250;

} // namespace

platform::SecretBytes randomPin(int32_t wanted, int32_t minimum, int32_t maximum, int32_t longest) {
    const int32_t upper = std::min(maximum, longest);
    if (minimum < 1 || minimum > upper)
        throw Failure(kUsage, text("NoRandomPinLength"));
    const int32_t length = std::clamp(wanted, minimum, upper);
    QByteArray pin;
    pin.reserve(length);
    unsigned char pool[64];
    while (pin.size() < length) {
        if (RAND_bytes(pool, sizeof pool) != 1)
            throw Failure(kFailed, text("RandomFailed"));
        for (unsigned char byte : pool)
            if (byte < kUniformLimit && pin.size() < length)
                pin.append(static_cast<char>('0' + byte % 10));
    }
    OPENSSL_cleanse(pool, sizeof pool);
    return platform::SecretBytes(std::move(pin));
}

} // namespace cli
