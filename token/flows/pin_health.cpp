#include "pin_health.h"

namespace token::flows {

PinHealth judgePin(const TPinState& state, bool countLow, bool initialised) {
    if (!initialised)
        return PinHealth::Unknown;
    if (state.locked == 1)
        return PinHealth::Locked;
    if (state.retriesLeft == 1)
        return PinHealth::FinalTry;
    const bool countsKnown = state.retriesLeft >= 0 && state.maxRetries > 0;
    if (countLow || (countsKnown && state.retriesLeft * 2 < state.maxRetries))
        return PinHealth::Low;
    // A key that reports neither count nor flag tells nothing; 0 left without the locked flag is no count.
    return countsKnown && state.retriesLeft > 0 ? PinHealth::Ok : PinHealth::Unknown;
}

} // namespace token::flows
