// key_read_process [MODULE]: the whole process the side-by-side benchmark times (compare_with_softhsm.sh). It
// starts the library (on the virtual keys of $XDG_DATA_HOME, or on the PKCS#11 module MODULE alone), logs in
// to the first initialised key with the benchmark's user PIN, reads it whole as the certificate tree does,
// and ends. Prints how many objects it read.
#include "key_read.h"
#include "token/token_ops.h"

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace {

// The first key found that was ever initialised (a PKCS#11 module named alone lists its spare slot too).
int32_t firstInitialisedKey(int32_t count) {
    for (int32_t idx = 0; idx < count; ++idx) {
        bench::require(token::token_get_info(idx, token::keyTable().keys[idx]), "token_get_info");
        if (token::keyTable().keys[idx].initialised)
            return idx;
    }
    throw std::runtime_error("no initialised key");
}

} // namespace

int main(int argc, char** argv) {
    try {
        bench::require(token::init_pkcs11(argc > 1 ? argv[1] : "zarto_pkcs11.dll"), "init_pkcs11");
        int32_t count = 0, left = 0;
        bench::require(token::token_find(count), "token_find");
        const int32_t idx = firstInitialisedKey(count);
        bench::require(token::token_login(idx, bench::kUserPin, left), "token_login");
        token::TZartoCertInfo info;
        int objects = bench::readWholeKey(idx, token::keyTable().keys[idx], info);
        token::uninit_pkcs11();
        std::printf("%d objects in %d containers\n", objects, token::keyTable().keys[idx].containerCount);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "key_read_process: %s\n", error.what());
        return 1;
    }
}
