#include "postgres_server.h"

#include "tests/common/softhsm_token.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

// Debian keeps the server programs in a folder per major version.
std::filesystem::path serverPrograms() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error))
        if (std::filesystem::exists(entry.path() / "bin" / "initdb"))
            return entry.path() / "bin";
    return {};
}

} // namespace

PostgresServer::PostgresServer() {
    bin_ = serverPrograms();
    if (bin_.empty()) {
        failure_ = "no PostgreSQL server programs under /usr/lib/postgresql (Debian's postgresql package)";
        return;
    }
    char name[] = "/tmp/pellorzu-pg-XXXXXX";
    if (!mkdtemp(name)) {
        failure_ = "no temporary folder";
        return;
    }
    folder_ = name;
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || chown(name, nobody->pw_uid, nobody->pw_gid) != 0) {
            failure_ = "cannot hand the server folder to the user nobody";
            return;
        }
    }
    if (!runAsOwner("initdb", "-D data -U pellorzu --auth=trust -E UTF8 --locale=C --no-sync")) {
        failure_ = "initdb failed (see " + (folder_ / "setup.log").string() + ")";
        return;
    }
    started_ = runAsOwner("pg_ctl", "-D data -l server.log -w -o \"-k " + folder_.string() +
                                        " -c listen_addresses='' -c fsync=off\" start");
    if (!started_)
        failure_ = "the server did not start (see " + (folder_ / "server.log").string() + ")";
}

PostgresServer::~PostgresServer() {
    if (started_)
        runAsOwner("pg_ctl", "-D data -m immediate -w stop");
    if (!folder_.empty() && failure_.empty()) {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
}

std::string PostgresServer::location() const {
    return "postgresql://pellorzu@/postgres?host=" + folder_.string();
}

bool PostgresServer::runAsOwner(const std::string& program, const std::string& arguments) {
    const std::string command = (bin_ / program).string() + " " + arguments + " >>setup.log 2>&1";
    const std::string asOwner = geteuid() == 0 ? "runuser -u nobody -- sh -c " + softhsm::quoted(command)
                                               : "sh -c " + softhsm::quoted(command);
    return softhsm::run("cd " + softhsm::quoted(folder_.string()) + " && " + asOwner) == 0;
}
