// A private world for one test: a temporary folder that XDG_DATA_HOME, XDG_CONFIG_HOME and HOME point into
// while the object lives (HOME, so that what goes to the user's home, as NSS's database, stays in it). The
// PKCS#11 modules the library finds registered see nothing of the machine either: SoftHSM2 gets its own
// empty token folder (SOFTHSM2_CONF) and OpenSC a smart-card service that is not there (PCSCLITE_CSOCK_NAME),
// so no reader. The folder and the previous environment are restored when it goes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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
    // Where SoftHSM2 keeps the tokens of this world.
    std::filesystem::path softhsmTokens() const { return root_ / "softhsm" / "tokens"; }

private:
    // Sets `name` to `value` for the life of the world.
    void setEnv(const char* name, const std::string& value);

    std::filesystem::path root_;
    std::vector<std::pair<std::string, std::optional<std::string>>> oldEnvironment_;
};

// Writes `content` to `path`, creating the folders on the way; an executable file is mode 0700. False when
// the file cannot be written.
bool writeTestFile(const std::filesystem::path& path, const std::string& content, bool executable = false);
