#include "paths.h"

#include <cstdlib>

namespace quillard {

std::filesystem::path dataFolder() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".local" / "share";
    else
        base = std::filesystem::temp_directory_path();
    return base / "Norvale" / "PellorZu";
}

std::filesystem::path keysFolder() {
    return dataFolder() / "keys";
}

std::filesystem::path unpluggedKeysFolder() {
    return dataFolder() / "unplugged-keys";
}

std::filesystem::path certStorePath() {
    return dataFolder() / "certstore.db";
}

} // namespace quillard
