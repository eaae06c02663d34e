// Times the two key reads the window repeats most: a scan of 32 plugged keys (find, connect, information of
// each) and the full read of a key with 65 containers that the certificate tree makes (names, then
// certificate, public key and private key of both pairs of every container).
#include "demo_credentials.h"
#include "quillard_errors.h"
#include "softkey/virtual_key_manager.h"
#include "temp_world.h"
#include "token_ops.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

constexpr const char* kUserPin = "12345678";

quillard::VirtualKeySettings benchKey(const std::string& serial, int64_t memory) {
    quillard::VirtualKeySettings settings;
    settings.serial = serial;
    settings.label = "Bench " + serial;
    settings.userPin = kUserPin;
    settings.soPin = "87654321";
    settings.totalMemory = memory;
    settings.diskBytes = 2048 * 16;
    settings.kdfIterations = 16;
    return settings;
}

void require(int32_t result, const char* what) {
    if (result != 0)
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(result));
}

void createKey(const quillard::VirtualKeySettings& settings) {
    std::string serial;
    require(quillard::VirtualKeyManager().create(settings, serial), "creating a key");
}

void BM_ScanThirtyTwoKeys(benchmark::State& state) {
    TempWorld world;
    for (int i = 0; i < 32; ++i)
        createKey(benchKey("SCAN" + std::to_string(100 + i), 65536));
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

// One key holding 65 containers, each with an exchange and a signature pair and their certificates.
void fillSixtyFiveContainers() {
    auto path = std::filesystem::path(std::getenv("XDG_DATA_HOME")) / "bench.p12";
    auto credential = quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Bench");
    if (!quillard::demo::writePkcs12File(path, credential, "pw", false))
        throw std::runtime_error("cannot write the PKCS#12 file");
    int32_t count = 0, left = 0, entries = 0;
    require(token::token_find(count), "token_find");
    require(token::token_login(0, kUserPin, left), "token_login");
    require(token::pkcs12_file_parse(path.string(), "pw", entries), "pkcs12_file_parse");
    for (int i = 0; i < 65; ++i) {
        std::string name = "container " + std::to_string(i);
        require(token::container_create_new(0, name), "container_create_new");
        for (int32_t spec : {1, 2})
            require(token::pkcs12_import_certificate(0, name, spec, 0), "pkcs12_import_certificate");
    }
}

void BM_ReadKeyWithSixtyFiveContainers(benchmark::State& state) {
    TempWorld world;
    createKey(benchKey("FULL0001", 4 << 20));
    require(token::init_pkcs11("zarto_pkcs11.dll"), "init_pkcs11");
    fillSixtyFiveContainers();
    token::TZartoInfo& record = token::keyTable().keys[0];
    token::TZartoCertInfo info;
    for (auto _ : state) {
        require(token::LoadContainerList(0, record), "LoadContainerList");
        for (int32_t i = 0; i < record.containerCount; ++i) {
            for (int32_t spec : {1, 2}) {
                int32_t algorithm = 0;
                require(token::ReadCertInfo(0, record.containerNames[i], spec, info), "ReadCertInfo");
                require(token::container_get_pubkey(0, record.containerNames[i], spec, algorithm), "pubkey");
                require(token::container_get_prikey(0, record.containerNames[i], spec, algorithm), "prikey");
            }
        }
        benchmark::DoNotOptimize(record.containerCount);
    }
    token::uninit_pkcs11();
}
BENCHMARK(BM_ReadKeyWithSixtyFiveContainers)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
