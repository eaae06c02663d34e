// Makes the PKCS#11 module of the virtual keys known to the user's NSS database (~/.pki/nssdb, sql: format,
// the database Chromium and other NSS programs read), so the certificates registered in the system store
// are usable there, and takes it out again. The work is done by NSS's own tool, modutil (libnss3-tools),
// found on the PATH and run without a shell: NSS keeps the database's format and its locking to itself, and
// no NSS code comes into the calling process (where NSS would load every module of the database, this one
// included, into the window).
#pragma once

#include "driver.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quillard {

class NssRegistration {
public:
    // The name the module has in NSS's module list.
    static constexpr const char* kModuleName = "PellorZu virtual keys";

    // The user's database: $HOME/.pki/nssdb.
    NssRegistration();
    explicit NssRegistration(std::filesystem::path database) : database_(std::move(database)) {}

    // Adds the module, creating the database (owner-only, no password) when it is missing; nothing when the
    // module is listed already. QR_MODULE_NOT_FOUND when the module file or modutil cannot be found,
    // QR_STORAGE_ERROR when modutil fails; `detail` then says why.
    Result add(std::string* detail = nullptr);
    // Removes the module when the database lists it.
    Result remove(std::string* detail = nullptr);
    bool isRegistered() const;

    // Where the module file is: beside this library or program (a build folder, a portable copy), in its
    // pkcs11 subfolder, then where p11-kit and the package install it. None when it is nowhere.
    static std::optional<std::filesystem::path> modulePath();

private:
    Result runModutil(const std::vector<std::string>& arguments, std::string* detail) const;
    std::string databaseArgument() const { return "sql:" + database_.string(); }

    std::filesystem::path database_;
};

} // namespace quillard
