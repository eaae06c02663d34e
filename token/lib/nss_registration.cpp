#include "nss_registration.h"

#include "private_files.h"
#include "quillard_errors.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

extern char** environ;

namespace quillard {

namespace {

constexpr const char* kModuleFile = "pellorzu-vkey-pkcs11.so";

std::filesystem::path homeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::path();
}

std::optional<std::filesystem::path> onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::filesystem::path candidate = std::filesystem::path(folders.substr(start, end - start)) / program;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

// Runs `program` with `arguments`, its input empty; returns its exit status (-1 when it could not run or
// was killed) and its output in `output`.
int runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               std::string& output) {
    int pipe[2];
    if (::pipe(pipe) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    posix_spawn_file_actions_addclose(&actions, pipe[1]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
    ::close(pipe[0]);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

NssRegistration::NssRegistration() : database_(homeFolder() / ".pki" / "nssdb") {}

std::optional<std::filesystem::path> NssRegistration::modulePath() {
    std::vector<std::filesystem::path> folders;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&NssRegistration::modulePath), &info) && info.dli_fname) {
        std::error_code error;
        std::filesystem::path self = std::filesystem::canonical(info.dli_fname, error);
        if (!error) {
            folders.push_back(self.parent_path());
            folders.push_back(self.parent_path() / "pkcs11");
        }
    }
    folders.push_back(PELLORZU_P11_MODULE_DIR);
    folders.push_back(PELLORZU_INSTALLED_MODULE_DIR);
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder / kModuleFile, error))
            return folder / kModuleFile;
    }
    return std::nullopt;
}

bool NssRegistration::isRegistered() const {
    // NSS lists the modules of an sql: database in pkcs11.txt, one "name=" line each.
    std::ifstream list(database_ / "pkcs11.txt");
    const std::string entry = std::string("name=") + kModuleName;
    for (std::string line; std::getline(list, line);)
        if (line == entry || line == "name=\"" + std::string(kModuleName) + "\"")
            return true;
    return false;
}

Result NssRegistration::runModutil(const std::vector<std::string>& arguments, std::string* detail) const {
    std::optional<std::filesystem::path> modutil = onPath("modutil");
    if (!modutil) {
        if (detail)
            *detail = "modutil (NSS's tool, package libnss3-tools) is not on the PATH";
        return QR_MODULE_NOT_FOUND;
    }
    std::string output;
    int status = runProgram(*modutil, arguments, output);
    if (status == 0)
        return QR_OK;
    if (detail)
        *detail = "modutil " + arguments.front() + " failed: " + output;
    return QR_STORAGE_ERROR;
}

Result NssRegistration::add(std::string* detail) {
    std::optional<std::filesystem::path> module = modulePath();
    if (!module) {
        if (detail)
            *detail = std::string("the module ") + kModuleFile + " is not installed";
        return QR_MODULE_NOT_FOUND;
    }
    if (isRegistered())
        return QR_OK;
    if (Result result = makePrivateFolder(database_); result != QR_OK)
        return result;
    std::error_code error;
    if (!std::filesystem::exists(database_ / "cert9.db", error))
        if (Result result = runModutil({"-create", "-dbdir", databaseArgument(), "-force"}, detail);
            result != QR_OK)
            return result;
    return runModutil(
        {"-add", kModuleName, "-libfile", module->string(), "-dbdir", databaseArgument(), "-force"}, detail);
}

Result NssRegistration::remove(std::string* detail) {
    if (!isRegistered())
        return QR_OK;
    return runModutil({"-delete", kModuleName, "-dbdir", databaseArgument(), "-force"}, detail);
}

} // namespace quillard
