#include "key_fill.h"

#include "key_read.h"
#include "token/token_ops.h"
#include "tools/demo_credentials.h"

#include <stdexcept>

namespace bench {

quillard::VirtualKeySettings keySettings(const std::string& serial, int64_t memory) {
    quillard::VirtualKeySettings settings;
    settings.serial = serial;
    settings.label = "Bench " + serial;
    settings.userPin = kUserPin;
    settings.soPin = kSoPin;
    settings.totalMemory = memory;
    settings.diskBytes = 2048 * 16;
    settings.kdfIterations = kBenchKdfIterations;
    return settings;
}

void createKey(const quillard::VirtualKeySettings& settings) {
    std::string serial;
    std::string detail;
    if (quillard::VirtualKeyManager().create(settings, serial, &detail) != 0)
        throw std::runtime_error("cannot create the key " + settings.serial + ": " + detail);
}

std::string containerName(int container) {
    return "container " + std::to_string(container);
}

std::vector<quillard::Credential> fillContainers(const std::filesystem::path& scratchFolder) {
    const std::filesystem::path file = scratchFolder / "bench.p12";
    int32_t count = 0, left = 0;
    require(token::token_find(count), "token_find");
    require(token::token_login(0, kUserPin, left), "token_login");
    std::vector<quillard::Credential> credentials;
    for (int i = 0; i < kContainers; ++i) {
        require(token::container_create_new(0, containerName(i)), "container_create_new");
        for (int32_t spec : {1, 2}) {
            credentials.push_back(quillard::demo::makeSelfSignedCredential(
                quillard::demo::KeyType::EcP256, "Bench " + std::to_string(i) + "/" + std::to_string(spec)));
            if (!quillard::demo::writePkcs12File(file, credentials.back(), "pw", false))
                throw std::runtime_error("cannot write the PKCS#12 file");
            int32_t entries = 0;
            require(token::pkcs12_file_parse(file.string(), "pw", entries), "pkcs12_file_parse");
            require(token::pkcs12_import_certificate(0, containerName(i), spec, 0),
                    "pkcs12_import_certificate");
        }
    }
    std::filesystem::remove(file);
    return credentials;
}

} // namespace bench
