// Benchmark keys: virtual keys made with the cheap PIN key derivation of the tests (16 PBKDF2 iterations
// instead of the 600000 of every other key, so a login costs nothing), and the key of 65 containers the full
// read works on.
#pragma once

#include "token/lib/credential.h"
#include "token/lib/softkey/virtual_key_manager.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

constexpr int kBenchKdfIterations = 16;
constexpr int kContainers = 65;

quillard::VirtualKeySettings keySettings(const std::string& serial, int64_t memory);
// Creates the key in the folders of the current XDG_DATA_HOME.
void createKey(const quillard::VirtualKeySettings& settings);
std::string containerName(int container);

// Logs in to key 0 (the library started) and fills it with kContainers containers, each with an exchange and
// a signature pair of its own (EC P-256) and their certificates, imported from PKCS#12 files written to
// `scratchFolder`. Returns the credentials, exchange then signature pair of each container in order.
std::vector<quillard::Credential> fillContainers(const std::filesystem::path& scratchFolder);

} // namespace bench
