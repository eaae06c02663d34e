// key_read_process: the whole process the side-by-side benchmark times (compare_with_softhsm.sh). It starts
// the library, finds the virtual keys of $XDG_DATA_HOME, logs in to the first with the benchmark's user PIN,
// reads it whole as the certificate tree does, and ends. Prints how many objects it read.
#include "key_read.h"
#include "token_ops.h"

#include <cstdio>
#include <exception>

int main() {
    try {
        bench::require(token::init_pkcs11("zarto_pkcs11.dll"), "init_pkcs11");
        int32_t count = 0, left = 0;
        bench::require(token::token_find(count), "token_find");
        bench::require(token::token_login(0, bench::kUserPin, left), "token_login");
        token::TZartoCertInfo info;
        int objects = bench::readWholeKey(0, token::keyTable().keys[0], info);
        token::uninit_pkcs11();
        std::printf("%d objects in %d containers\n", objects, token::keyTable().keys[0].containerCount);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "key_read_process: %s\n", error.what());
        return 1;
    }
}
