// A PostgreSQL server of its own for one test: a cluster made with Debian's initdb in a temporary folder,
// listening on a Unix socket there only, stopped and removed when the object goes. PostgreSQL refuses to run
// as root, so under root the cluster belongs to, and the server runs as, the unprivileged user nobody.
#pragma once

#include <filesystem>
#include <string>

class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Empty when the server runs; otherwise why it could not start.
    const std::string& failure() const { return failure_; }
    // The connection address of its database.
    std::string location() const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    // Runs a PostgreSQL program from `bin_` with `arguments` as the cluster's owner; false when it fails.
    bool runAsOwner(const std::string& program, const std::string& arguments);

    std::filesystem::path folder_;
    std::filesystem::path bin_;
    std::string failure_;
    bool started_ = false;
};
