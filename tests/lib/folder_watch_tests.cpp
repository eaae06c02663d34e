// The watch that lets the module skip looking at a key's file: it must say "changed" for every way a key's
// database changes (written, replaced, moved out, the folder gone), stay quiet for other files, and never be
// trusted in a forked child, whether it takes its events at each question or on a thread of its own. The
// driver in module mode is then checked against changes it must see at once.
#include "softkey_fixture.h"

#include "token/lib/softkey/folder_watch.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using quillard::PinKind;
using quillard::softkey::FolderWatch;

namespace {

void write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::app) << text;
}

// True once `condition` holds, asked every millisecond for up to five seconds.
bool eventually(const std::function<bool()>& condition) {
    for (int waited = 0; waited < 5000; ++waited) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

class FolderWatchTest : public SoftkeyTest, public ::testing::WithParamInterface<FolderWatch::Taking> {
protected:
    // Returns once the watch has taken the events of everything done in `folder` before: a file written now
    // shows to it after them (at once when it takes events at each question).
    static void settle(FolderWatch& watch, const std::filesystem::path& folder) {
        watch.sawChange("settled");
        write(folder / "settled", "x");
        ASSERT_TRUE(eventually([&] { return watch.sawChange("settled"); }));
    }

    // The key's containers, listed in a call of its own as the module makes one.
    std::vector<std::string> namesInModuleCall(int32_t idx) {
        driver.startModuleCall();
        std::vector<std::string> listed;
        EXPECT_EQ(driver.listContainers(idx, listed), QR_OK);
        std::sort(listed.begin(), listed.end());
        return listed;
    }
};

INSTANTIATE_TEST_SUITE_P(Taking, FolderWatchTest,
                         ::testing::Values(FolderWatch::Taking::AtEachQuestion,
                                           FolderWatch::Taking::OnItsOwnThread),
                         [](const auto& info) {
                             return info.param == FolderWatch::Taking::OnItsOwnThread ? "OnItsOwnThread"
                                                                                      : "AtEachQuestion";
                         });

TEST_P(FolderWatchTest, SeesEveryChangeOfItsFileAndNothingOfOthers) {
    const std::filesystem::path folder = world.keysFolder();
    std::filesystem::create_directories(folder);
    write(folder / "A.db", "first");
    FolderWatch watch(folder, GetParam());
    if (!watch.usable())
        GTEST_SKIP() << "the test folder is not on a local file system";
    EXPECT_EQ(watch.hasThread(), GetParam() == FolderWatch::Taking::OnItsOwnThread);
    auto changed = [&](const char* name) {
        settle(watch, folder);
        return watch.sawChange(name);
    };

    EXPECT_TRUE(watch.sawChange("A.db")) << "the first question has nothing to compare with";
    EXPECT_FALSE(watch.sawChange("A.db"));
    write(folder / "B.db", "another key");
    write(folder / "A.img", "the disk area");
    EXPECT_FALSE(changed("A.db"));

    write(folder / "A.db", "written");
    EXPECT_TRUE(changed("A.db"));
    EXPECT_FALSE(watch.sawChange("A.db"));

    std::filesystem::permissions(folder / "A.db", std::filesystem::perms::owner_read);
    EXPECT_TRUE(changed("A.db"));

    std::filesystem::create_directories(folder.parent_path() / "out");
    std::filesystem::rename(folder / "A.db", folder.parent_path() / "out" / "A.db");
    EXPECT_TRUE(changed("A.db"));
    write(folder / "A.db.staged", "copy");
    std::filesystem::rename(folder / "A.db.staged", folder / "A.db");
    EXPECT_TRUE(changed("A.db"));
    EXPECT_FALSE(watch.sawChange("A.db"));

    std::filesystem::remove_all(folder);
    EXPECT_TRUE(eventually([&] { return watch.sawChange("A.db") && watch.stale(); }));
    EXPECT_TRUE(watch.sawChange("A.db")) << "a watch whose folder went away never answers for it again";
}

// A change this process makes through the library is seen at the next question, even before the watch's
// thread could have taken any event; here no file changes at all.
TEST_P(FolderWatchTest, AChangeMadeInThisProcessIsSeenAtTheNextQuestion) {
    std::filesystem::create_directories(world.keysFolder());
    FolderWatch watch(world.keysFolder(), GetParam());
    if (!watch.usable())
        GTEST_SKIP() << "the test folder is not on a local file system";
    watch.sawChange("A.db");
    watch.sawChange("B.db");
    FolderWatch::noteChangeHere();
    EXPECT_TRUE(watch.sawChange("A.db"));
    EXPECT_TRUE(watch.sawChange("B.db"));
    EXPECT_FALSE(watch.sawChange("A.db"));
}

TEST_P(FolderWatchTest, IsNotTrustedInAForkedChild) {
    std::filesystem::create_directories(world.keysFolder());
    FolderWatch watch(world.keysFolder(), GetParam());
    if (!watch.usable())
        GTEST_SKIP() << "the test folder is not on a local file system";
    watch.sawChange("A.db");
    const pid_t pid = fork();
    if (pid == 0)
        _exit(!watch.usable() && watch.stale() && watch.sawChange("A.db") ? 0 : 1);
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(watch.usable());
    EXPECT_FALSE(watch.sawChange("A.db"));
}

// The driver as the module runs it: each call starts with startModuleCall(), and a key found unchanged is
// then trusted on the watch's word. Every change made through the library in this process must still show at
// the next call; a file changed by other means shows at once, or, with the watch on its own thread, as soon
// as that thread has seen it.
TEST_P(FolderWatchTest, DriverInModuleModeSeesChangesAtTheNextCall) {
    driver.setWatchTaking(GetParam());
    int32_t idx = createInitialised("WATCHED");
    auto call = [this] { driver.startModuleCall(); };
    auto names = [&] { return namesInModuleCall(idx); };
    call();
    ASSERT_EQ(loginUser(idx), QR_OK);
    call();
    ASSERT_EQ(driver.createContainer(idx, "Mine"), QR_OK);
    EXPECT_EQ(names(), std::vector<std::string>{"Mine"});
    EXPECT_EQ(names(), std::vector<std::string>{"Mine"});

    // Another handle (another connection, as another process would be) changes the key.
    auto other = std::make_unique<quillard::SoftkeyDriver>(quillard::keysFolder());
    std::vector<std::string> serials;
    ASSERT_EQ(other->find(serials), QR_OK);
    int32_t left = 0;
    ASSERT_EQ(other->login(0, PinKind::User, kUserPin, left), QR_OK);
    ASSERT_EQ(other->createContainer(0, "Theirs"), QR_OK);
    EXPECT_EQ(names(), (std::vector<std::string>{"Mine", "Theirs"}));
    EXPECT_EQ(names(), (std::vector<std::string>{"Mine", "Theirs"}));

    // A file put back from a copy, written by something other than SQLite.
    const std::filesystem::path database = world.keysFolder() / "WATCHED.db";
    const std::filesystem::path copy = world.keysFolder().parent_path() / "copy.db";
    ASSERT_EQ(other->deleteContainer(0, "Theirs"), QR_OK);
    std::filesystem::copy_file(database, copy);
    ASSERT_EQ(other->createContainer(0, "Later"), QR_OK);
    other.reset();
    EXPECT_EQ(names(), (std::vector<std::string>{"Later", "Mine"}));
    std::filesystem::rename(copy, database);
    if (GetParam() == FolderWatch::Taking::OnItsOwnThread)
        EXPECT_TRUE(eventually([&] { return names() == std::vector<std::string>{"Mine"}; }));
    else
        EXPECT_EQ(names(), std::vector<std::string>{"Mine"});

    ASSERT_EQ(manager.unplug("WATCHED"), QR_OK);
    call();
    std::vector<std::string> listed;
    EXPECT_EQ(driver.listContainers(idx, listed), QR_DEVICE_REMOVED);
}

// A change the watch cannot see (made through a hard link from another folder, by another process) is still
// seen by a call that asks for a full look, as the module's C_OpenSession does.
TEST_P(FolderWatchTest, AFullLookSeesWhatTheWatchCannot) {
    driver.setWatchTaking(GetParam());
    int32_t idx = createInitialised("LINKED");
    driver.startModuleCall();
    ASSERT_EQ(loginUser(idx), QR_OK);
    driver.startModuleCall();
    ASSERT_EQ(driver.createContainer(idx, "Mine"), QR_OK);
    EXPECT_EQ(namesInModuleCall(idx), std::vector<std::string>{"Mine"});
    // Found unchanged by a look: from now on the watch's word stands in for one.
    EXPECT_EQ(namesInModuleCall(idx), std::vector<std::string>{"Mine"});

    const std::filesystem::path elsewhere = world.keysFolder().parent_path() / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    std::filesystem::create_hard_link(world.keysFolder() / "LINKED.db", elsewhere / "LINKED.db");
    const pid_t pid = fork();
    if (pid == 0) {
        quillard::SoftkeyDriver other(elsewhere);
        std::vector<std::string> serials;
        int32_t left = 0;
        _exit(other.find(serials) == QR_OK && other.login(0, PinKind::User, kUserPin, left) == QR_OK &&
                      other.createContainer(0, "Theirs") == QR_OK
                  ? 0
                  : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    driver.lookInFullNextTime("LINKED");
    EXPECT_EQ(namesInModuleCall(idx), (std::vector<std::string>{"Mine", "Theirs"}));
}

} // namespace
