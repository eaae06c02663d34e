// The watch that lets the module skip looking at a key's file: it must say "changed" for every way a key's
// database changes (written, replaced, moved out, the folder gone), stay quiet for other files, and never be
// trusted in a forked child. The driver in module mode is then checked against changes it must see at once.
#include "softkey_fixture.h"

#include "token/lib/softkey/folder_watch.h"

#include <algorithm>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using quillard::PinKind;
using quillard::softkey::FolderWatch;

namespace {

void write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::app) << text;
}

class FolderWatchTest : public SoftkeyTest {};

TEST_F(FolderWatchTest, SeesEveryChangeOfItsFileAndNothingOfOthers) {
    const std::filesystem::path folder = world.keysFolder();
    std::filesystem::create_directories(folder);
    write(folder / "A.db", "first");
    FolderWatch watch(folder);
    if (!watch.usable())
        GTEST_SKIP() << "the test folder is not on a local file system";

    EXPECT_TRUE(watch.sawChange("A.db")) << "the first question has nothing to compare with";
    EXPECT_FALSE(watch.sawChange("A.db"));
    write(folder / "B.db", "another key");
    write(folder / "A.img", "the disk area");
    EXPECT_FALSE(watch.sawChange("A.db"));

    write(folder / "A.db", "written");
    EXPECT_TRUE(watch.sawChange("A.db"));
    EXPECT_FALSE(watch.sawChange("A.db"));

    std::filesystem::permissions(folder / "A.db", std::filesystem::perms::owner_read);
    EXPECT_TRUE(watch.sawChange("A.db"));

    std::filesystem::create_directories(folder.parent_path() / "out");
    std::filesystem::rename(folder / "A.db", folder.parent_path() / "out" / "A.db");
    EXPECT_TRUE(watch.sawChange("A.db"));
    write(folder / "A.db.staged", "copy");
    std::filesystem::rename(folder / "A.db.staged", folder / "A.db");
    EXPECT_TRUE(watch.sawChange("A.db"));
    EXPECT_FALSE(watch.sawChange("A.db"));

    std::filesystem::remove_all(folder);
    EXPECT_TRUE(watch.sawChange("A.db"));
    EXPECT_TRUE(watch.stale());
    EXPECT_TRUE(watch.sawChange("A.db")) << "a watch whose folder went away never answers for it again";
}

TEST_F(FolderWatchTest, IsNotTrustedInAForkedChild) {
    std::filesystem::create_directories(world.keysFolder());
    FolderWatch watch(world.keysFolder());
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
// then trusted on the watch's word. Every change must still show at the next call.
TEST_F(FolderWatchTest, DriverInModuleModeSeesChangesAtTheNextCall) {
    int32_t idx = createInitialised("WATCHED");
    auto call = [this] { driver.startModuleCall(); };
    auto names = [&] {
        call();
        std::vector<std::string> listed;
        EXPECT_EQ(driver.listContainers(idx, listed), QR_OK);
        std::sort(listed.begin(), listed.end());
        return listed;
    };
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
    EXPECT_EQ(names(), std::vector<std::string>{"Mine"});

    ASSERT_EQ(manager.unplug("WATCHED"), QR_OK);
    call();
    std::vector<std::string> listed;
    EXPECT_EQ(driver.listContainers(idx, listed), QR_DEVICE_REMOVED);
}

} // namespace
