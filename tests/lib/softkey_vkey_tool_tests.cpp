// The pellorzu-vkey program, run as a user runs it. It is found beside this test program; a build that has
// not made it yet skips these tests.
#include "softkey_fixture.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class VkeyToolTest : public SoftkeyTest {
protected:
    struct Run {
        int status = -1;
        std::string output; // standard output and standard error together
    };

    void SetUp() override {
        tool = std::filesystem::canonical("/proc/self/exe").parent_path() / "pellorzu-vkey";
        if (!std::filesystem::exists(tool))
            GTEST_SKIP() << "pellorzu-vkey has not been built";
    }

    Run run(const std::string& arguments) {
        Run result;
        FILE* pipe = popen(("'" + tool.string() + "' " + arguments + " 2>&1").c_str(), "r");
        if (!pipe)
            return result;
        std::array<char, 4096> buffer;
        std::size_t read = 0;
        while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            result.output.append(buffer.data(), read);
        int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    // Starts the tool with `arguments` and kills it once its standard output has shown `line`.
    void killAfter(const std::vector<std::string>& arguments, const std::string& line) {
        int output[2];
        ASSERT_EQ(::pipe(output), 0);
        pid_t child = ::fork();
        if (child == 0) {
            ::dup2(output[1], STDOUT_FILENO);
            ::close(output[0]);
            std::vector<char*> argv{const_cast<char*>(tool.c_str())};
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(tool.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(output[1]);
        std::string seen;
        char buffer[256];
        ssize_t got = 0;
        while (seen.find(line) == std::string::npos && (got = ::read(output[0], buffer, sizeof buffer)) > 0)
            seen.append(buffer, static_cast<std::size_t>(got));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(output[0]);
        ASSERT_NE(seen.find(line), std::string::npos) << seen;
    }

    std::filesystem::path tool;
};

TEST_F(VkeyToolTest, DemoSetIsMadeOnlyWhenThereAreNoKeys) {
    Run first = run("demo-set --kdf-iterations 10");
    ASSERT_EQ(first.status, 0) << first.output;
    std::vector<std::string> serials;
    ASSERT_EQ(driver.find(serials), QR_OK);
    ASSERT_EQ(serials, (std::vector<std::string>{"PZDEMO0001", "PZDEMO0002", "PZDEMO0003"}));
    EXPECT_EQ(info(2).initialised, 0);

    // The filled keys hold RSA 2048 and EC P-256 pairs under both specifications, private keys included.
    ASSERT_EQ(loginUser(0, "12345678"), QR_OK);
    std::vector<std::string> names;
    ASSERT_EQ(driver.listContainers(0, names), QR_OK);
    ASSERT_EQ(names.size(), 2u);
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const std::string& name : names)
        for (int32_t spec : {1, 2}) {
            quillard::KeyDescription key;
            ASSERT_EQ(driver.getPrivateKey(0, name, spec, key), QR_OK);
            pairs.emplace_back(key.algorithm, key.bits);
        }
    using P = std::pair<int32_t, int32_t>;
    EXPECT_EQ(pairs, (std::vector<P>{P{0, 2048}, P{0, 2048}, P{3, 256}, P{3, 256}}));

    Run second = run("demo-set --kdf-iterations 10");
    EXPECT_EQ(second.status, 0);
    EXPECT_NE(second.output.find("exist already"), std::string::npos);
    EXPECT_EQ(manager.list().size(), 3u);
}

TEST_F(VkeyToolTest, ADemoSetKilledPartWayIsMadeWholeByTheNextRun) {
    killAfter({"demo-set", "--kdf-iterations", "300000"}, "Created PZDEMO0001");
    Run rerun = run("demo-set --kdf-iterations 10");
    ASSERT_EQ(rerun.status, 0) << rerun.output;
    std::vector<std::string> serials;
    ASSERT_EQ(driver.find(serials), QR_OK);
    ASSERT_EQ(serials, (std::vector<std::string>{"PZDEMO0001", "PZDEMO0002", "PZDEMO0003"}));
    for (int32_t idx : {0, 1}) {
        ASSERT_EQ(loginUser(idx, "12345678"), QR_OK);
        std::vector<std::string> names;
        ASSERT_EQ(driver.listContainers(idx, names), QR_OK);
        EXPECT_EQ(names.size(), 2u) << serials[idx];
    }
    EXPECT_NE(run("demo-set").output.find("exist already"), std::string::npos) << "a finished set is kept";
}

TEST_F(VkeyToolTest, CreateListUnplugAndDeleteNeverShowThePins) {
    Run created = run("create --serial CLI-1 --label Hello --user-pin 3141 --so-pin 271828 --user-retries 4 "
                      "--product-id 0xE918 --memory 16K --kdf-iterations 10");
    ASSERT_EQ(created.status, 0) << created.output;
    EXPECT_EQ(run("unplug CLI-1").status, 0);
    Run listed = run("list");
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.output.find("unplugged"), std::string::npos);
    EXPECT_NE(listed.output.find("Hello"), std::string::npos);
    EXPECT_NE(listed.output.find("4/4"), std::string::npos);
    EXPECT_NE(listed.output.find("0xE918"), std::string::npos);
    for (const Run& shown : {created, listed}) {
        EXPECT_EQ(shown.output.find("3141"), std::string::npos);
        EXPECT_EQ(shown.output.find("271828"), std::string::npos);
    }
    Run wrongPin = run("demo CLI-1 --user-pin 9999");
    EXPECT_EQ(wrongPin.status, 1);
    EXPECT_NE(wrongPin.output.find("not plugged in"), std::string::npos);
    EXPECT_EQ(run("plug CLI-1").status, 0);
    wrongPin = run("demo CLI-1 --user-pin 9999");
    EXPECT_EQ(wrongPin.status, 1);
    EXPECT_NE(wrongPin.output.find("CKR_PIN_INCORRECT (0x000000A0)"), std::string::npos);
    EXPECT_EQ(wrongPin.output.find("9999"), std::string::npos);
    EXPECT_EQ(run("delete CLI-1 NOPE").status, 1);
    EXPECT_TRUE(manager.list().empty());
}

TEST_F(VkeyToolTest, BadCommandLinesAreExplained) {
    Run noPins = run("create --serial CLI-2");
    EXPECT_EQ(noPins.status, 2);
    EXPECT_NE(noPins.output.find("needs --user-pin"), std::string::npos);
    EXPECT_EQ(run("create --blank --memory 12Q").status, 2);
    EXPECT_EQ(run("create --blank --product-id 0x10000").status, 2);
    EXPECT_EQ(run("frobnicate").status, 2);
    EXPECT_EQ(run("plug").status, 2);
    EXPECT_TRUE(manager.list().empty());
}

} // namespace
