#include "cli_world.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

extern char** environ;

namespace {

// Reads both pipes to their end, writing `input` to the third, without blocking on any of them.
void exchange(int in, int out, int err, const std::string& input, CliRun& run) {
    std::size_t written = 0;
    if (input.empty()) {
        close(in);
        in = -1;
    }
    char buffer[4096];
    while (out >= 0 || err >= 0) {
        pollfd fds[3] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {in, POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? out : err;
            if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0) {
                close(fd);
                fd = -1;
            } else {
                (i == 0 ? run.out : run.err).append(buffer, static_cast<std::size_t>(got));
            }
        }
        if (in >= 0 && (fds[2].revents & (POLLOUT | POLLERR))) {
            const ssize_t put = write(in, input.data() + written, input.size() - written);
            written += put > 0 ? static_cast<std::size_t>(put) : input.size();
            if (written >= input.size()) {
                close(in);
                in = -1;
            }
        }
    }
}

} // namespace

QJsonDocument CliRun::json() const {
    return QJsonDocument::fromJson(QByteArray::fromStdString(out));
}

CliWorld::CliWorld() : folder_(std::filesystem::canonical("/proc/self/exe").parent_path()) {}

CliRun CliWorld::runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                            const std::string& input,
                            const std::map<std::string, std::string>& environment) const {
    int in[2], out[2], err[2];
    CliRun run;
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
        return run;
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        setenv("LANG", "C", 1);
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        for (const auto& [name, value] : environment) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    signal(SIGPIPE, SIG_IGN);
    exchange(in[1], out[0], err[0], input, run);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

CliRun CliWorld::cli(const std::vector<std::string>& arguments, const std::string& input,
                     const std::map<std::string, std::string>& environment) const {
    return runProgram(folder_ / "pellorzu-cli", arguments, input, environment);
}

void CliWorld::vkey(const std::vector<std::string>& arguments) const {
    const CliRun run = runProgram(folder_ / "pellorzu-vkey", arguments, {}, {});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
}

void CliWorld::createKey(const std::string& serial, const std::vector<std::string>& extra) const {
    std::vector<std::string> arguments{"create",     "--serial",         serial,
                                       "--user-pin", "12345678",         "--so-pin",
                                       "87654321",   "--kdf-iterations", "10"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    vkey(arguments);
}

void CliWorld::createBlankKey(const std::string& serial, const std::vector<std::string>& extra) const {
    std::vector<std::string> arguments{"create", "--serial", serial, "--blank", "--kdf-iterations", "10"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    vkey(arguments);
}

std::filesystem::path CliWorld::file(const std::string& name, const std::string& content,
                                     unsigned mode) const {
    const std::filesystem::path path = world_.root() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    chmod(path.c_str(), mode);
    return path;
}
