// Times the two key reads the window repeats most: a scan of 32 plugged keys (find, connect, information of
// each) and the full read of a key with 65 containers that the certificate tree makes (names, then
// certificate, public key and private key of both pairs of every container), once as the first read after the
// key is plugged in (nothing of it known to the library) and once repeated. Every key is made with the cheap
// PIN key derivation of the benchmarks (key_fill.h), so logins cost nothing here.
#include "key_fill.h"
#include "key_read.h"
#include "tests/common/temp_world.h"
#include "token/token_ops.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using bench::require;

void BM_ScanThirtyTwoKeys(benchmark::State& state) {
    TempWorld world;
    for (int i = 0; i < 32; ++i)
        bench::createKey(bench::keySettings("SCAN" + std::to_string(100 + i), 65536));
    require(token::init_pkcs11("zarto_pkcs11.dll"), "init_pkcs11");
    for (auto _ : state) {
        int32_t count = 0;
        require(token::token_find(count), "token_find");
        for (int32_t idx = 0; idx < count; ++idx)
            require(token::token_get_info(idx, token::keyTable().keys[idx]), "token_get_info");
        benchmark::DoNotOptimize(count);
    }
    token::uninit_pkcs11();
}
BENCHMARK(BM_ScanThirtyTwoKeys)->Unit(benchmark::kMillisecond);

void findAndLogIn() {
    int32_t count = 0, left = 0;
    require(token::token_find(count), "token_find");
    require(token::token_login(0, bench::kUserPin, left), "token_login");
}

// One key holding 65 containers, each with an exchange and a signature pair and their certificates: 130
// different pairs, as on a real key, so no certificate is met twice in one read. `afterPlugging`: before
// each read (not timed) the library is shut down, forgetting the key and every certificate it has decoded,
// the key is unplugged and plugged in again, and the library started, the keys found and the user logged
// in, as the window does for a key just plugged in.
void BM_ReadKeyWithSixtyFiveContainers(benchmark::State& state, bool afterPlugging) {
    TempWorld world;
    bench::createKey(bench::keySettings("FULL0001", 4 << 20));
    require(token::init_pkcs11("zarto_pkcs11.dll"), "init_pkcs11");
    bench::fillContainers(world.dataHome());
    token::TZartoInfo& record = token::keyTable().keys[0];
    token::TZartoCertInfo info;
    quillard::VirtualKeyManager manager;
    for (auto _ : state) {
        if (afterPlugging) {
            state.PauseTiming();
            token::uninit_pkcs11();
            require(manager.unplug("FULL0001"), "unplugging");
            require(manager.plug("FULL0001"), "plugging");
            require(token::init_pkcs11("zarto_pkcs11.dll"), "init_pkcs11");
            findAndLogIn();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(bench::readWholeKey(0, record, info));
    }
    token::uninit_pkcs11();
}
BENCHMARK_CAPTURE(BM_ReadKeyWithSixtyFiveContainers, first_read_after_plugging, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadKeyWithSixtyFiveContainers, repeated_read, false)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
