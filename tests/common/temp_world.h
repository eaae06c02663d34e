// A private world for one test: a temporary folder that XDG_DATA_HOME, XDG_CONFIG_HOME and HOME point into
// while the object lives (HOME, so that what goes to the user's home, as NSS's database, stays in it). The
// folder and the previous environment are restored when it goes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

class TempWorld {
public:
    TempWorld();
    ~TempWorld();
    TempWorld(const TempWorld&) = delete;
    TempWorld& operator=(const TempWorld&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path dataHome() const { return root_ / "data"; }
    std::filesystem::path configHome() const { return root_ / "config"; }
    std::filesystem::path home() const { return root_ / "home"; }
    // Where the virtual keys of this world are plugged in.
    std::filesystem::path keysFolder() const { return dataHome() / "Norvale" / "PellorZu" / "keys"; }

private:
    std::filesystem::path root_;
    std::optional<std::string> oldData_;
    std::optional<std::string> oldConfig_;
    std::optional<std::string> oldHome_;
};

// Writes `content` to `path`, creating the folders on the way; an executable file is mode 0700. False when
// the file cannot be written.
bool writeTestFile(const std::filesystem::path& path, const std::string& content, bool executable = false);
