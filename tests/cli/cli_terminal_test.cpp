// PINs typed at a terminal: pellorzu-cli prompts on the terminal and the PIN is not echoed.
#include "cli_world.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Everything the terminal shows until the program ends; `typed` is typed in once the prompt shows.
std::string runOnTerminal(const std::vector<std::string>& arguments, const std::string& prompt,
                          const std::string& typed, int& status) {
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        const std::string program =
            (std::filesystem::canonical("/proc/self/exe").parent_path() / "pellorzu-cli").string();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        setenv("LANG", "C", 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    std::string screen;
    bool sent = false;
    char buffer[1024];
    for (;;) {
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, 20000) <= 0)
            break;
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0)
            break;
        screen.append(buffer, static_cast<std::size_t>(got));
        if (!sent && screen.find(prompt) != std::string::npos) {
            // Give the program the moment to switch echo off after showing the prompt.
            usleep(200000);
            const ssize_t put = write(master, typed.data(), typed.size());
            sent = put == static_cast<ssize_t>(typed.size());
        }
    }
    close(master);
    int wait = 0;
    waitpid(child, &wait, 0);
    status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return screen;
}

TEST(CliTerminalTest, PinIsAskedForWithoutEcho) {
    CliWorld world;
    world.createKey("CLIKEY01");
    int status = -1;
    const std::string screen = runOnTerminal({"certs", "CLIKEY01"}, "user PIN: ", "12345678\r", status);
    EXPECT_EQ(status, 0) << screen;
    EXPECT_NE(screen.find("user PIN: "), std::string::npos) << screen;
    EXPECT_EQ(screen.find("12345678"), std::string::npos) << screen;
    EXPECT_NE(screen.find("(No Container)"), std::string::npos) << screen;
}

} // namespace
