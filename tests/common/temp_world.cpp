#include "temp_world.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

namespace {

std::optional<std::string> readEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void restoreEnv(const char* name, const std::optional<std::string>& value) {
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

} // namespace

TempWorld::TempWorld() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("pellorzu-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate))
            root_ = candidate;
    }
    if (root_.empty())
        throw std::runtime_error("cannot create a temporary folder");
    std::filesystem::create_directories(dataHome());
    std::filesystem::create_directories(configHome());
    setEnv("XDG_DATA_HOME", dataHome());
    setEnv("XDG_CONFIG_HOME", configHome());
    std::filesystem::create_directories(home());
    setEnv("HOME", home());
    std::filesystem::create_directories(softhsmTokens());
    const std::filesystem::path softhsmConfig = root_ / "softhsm" / "softhsm2.conf";
    if (!writeTestFile(softhsmConfig, "directories.tokendir = " + softhsmTokens().string() +
                                          "\nobjectstore.backend = file\nlog.level = ERROR\n"))
        throw std::runtime_error("cannot write the SoftHSM2 configuration");
    setEnv("SOFTHSM2_CONF", softhsmConfig);
    setEnv("PCSCLITE_CSOCK_NAME", root_ / "softhsm" / "no-smart-card-service");
}

void TempWorld::setEnv(const char* name, const std::string& value) {
    oldEnvironment_.emplace_back(name, readEnv(name));
    setenv(name, value.c_str(), 1);
}

TempWorld::~TempWorld() {
    for (auto entry = oldEnvironment_.rbegin(); entry != oldEnvironment_.rend(); ++entry)
        restoreEnv(entry->first.c_str(), entry->second);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

bool writeTestFile(const std::filesystem::path& path, const std::string& content, bool executable) {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    file.close();
    if (!file)
        return false;
    if (executable)
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
    return true;
}
