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

TempWorld::TempWorld()
    : oldData_(readEnv("XDG_DATA_HOME")), oldConfig_(readEnv("XDG_CONFIG_HOME")), oldHome_(readEnv("HOME")) {
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
    std::filesystem::create_directories(home());
    setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
    setenv("XDG_CONFIG_HOME", configHome().c_str(), 1);
    setenv("HOME", home().c_str(), 1);
}

TempWorld::~TempWorld() {
    restoreEnv("XDG_DATA_HOME", oldData_);
    restoreEnv("XDG_CONFIG_HOME", oldConfig_);
    restoreEnv("HOME", oldHome_);
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
