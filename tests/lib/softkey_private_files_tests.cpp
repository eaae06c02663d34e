// Key files and the certificate store are readable by their owner only: what the library creates, and what it
// finds open to others when it opens it. A key of another user that others may read is refused.
#include "softkey_fixture.h"
#include "token/lib/cert_store.h"
#include "token/lib/softkey/key_files.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kOtherUser = 65534; // nobody

mode_t modeOf(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// Whether another local user can read `file`: a child process drops to that user and tries.
bool otherUserCanRead(const std::filesystem::path& file) {
    pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0)
            ::_exit(2);
        FILE* opened = std::fopen(file.c_str(), "rb");
        ::_exit(opened ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "cannot act as another user";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class PrivateFilesTest : public SoftkeyTest {
protected:
    void SetUp() override {
        previousMask = ::umask(022); // the usual umask, under which files are readable by everyone
    }
    void TearDown() override { ::umask(previousMask); }

    quillard::softkey::KeyFiles plugged(const std::string& serial) { return {world.keysFolder(), serial}; }

    mode_t previousMask = 0;
};

TEST_F(PrivateFilesTest, EverythingTheLibraryCreatesIsForItsOwnerOnly) {
    create(initialisedKey("MODES1"));
    auto files = plugged("MODES1");
    EXPECT_EQ(modeOf(world.keysFolder()), 0700u);
    EXPECT_EQ(modeOf(files.database()), 0600u);
    EXPECT_EQ(modeOf(files.diskImage()), 0600u);
    ASSERT_EQ(manager.unplug("MODES1"), QR_OK);
    EXPECT_EQ(modeOf(quillard::unpluggedKeysFolder()), 0700u);

    quillard::CertStore store(quillard::certStorePath());
    ASSERT_EQ(store.add("c", "csp", 1, ecCredential().certificateDer), QR_OK);
    EXPECT_EQ(modeOf(quillard::dataFolder()), 0700u);
    EXPECT_EQ(modeOf(quillard::certStorePath()), 0600u);

    if (::geteuid() != 0)
        GTEST_SKIP() << "reading as another user needs root";
    ASSERT_EQ(manager.plug("MODES1"), QR_OK);
    std::filesystem::path copy = world.root() / "copied.db";
    std::filesystem::copy_file(files.database(), copy);
    EXPECT_FALSE(otherUserCanRead(files.database()));
    EXPECT_FALSE(otherUserCanRead(files.diskImage()));
    EXPECT_FALSE(otherUserCanRead(copy)) << "a copy keeps the owner-only mode";
    EXPECT_FALSE(otherUserCanRead(quillard::certStorePath()));
}

TEST_F(PrivateFilesTest, FilesAndFoldersOpenToOthersAreTightenedWhenOpened) {
    create(initialisedKey("MODES2"));
    auto files = plugged("MODES2");
    for (const auto& path : {files.database(), files.diskImage()})
        std::filesystem::permissions(path, std::filesystem::perms(0644));
    std::filesystem::permissions(world.keysFolder(), std::filesystem::perms(0755));

    ASSERT_GE(indexOf("MODES2"), 0);
    EXPECT_EQ(modeOf(world.keysFolder()), 0700u);
    EXPECT_EQ(driver.connect(indexOf("MODES2")), QR_OK);
    EXPECT_EQ(modeOf(files.database()), 0600u);
    EXPECT_EQ(modeOf(files.diskImage()), 0600u);

    quillard::CertStore store(quillard::certStorePath());
    ASSERT_EQ(store.add("c", "csp", 1, ecCredential().certificateDer), QR_OK);
    std::filesystem::permissions(quillard::certStorePath(), std::filesystem::perms(0644));
    std::vector<quillard::CertStoreEntry> entries;
    ASSERT_EQ(store.list(entries), QR_OK);
    EXPECT_EQ(modeOf(quillard::certStorePath()), 0600u);
}

TEST_F(PrivateFilesTest, AKeyOfAnotherUserOpenToOthersIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    create(initialisedKey("MODES3"));
    auto files = plugged("MODES3");
    ASSERT_EQ(::chown(files.database().c_str(), kOtherUser, kOtherUser), 0);
    std::filesystem::permissions(files.database(), std::filesystem::perms(0644));

    int32_t idx = indexOf("MODES3");
    ASSERT_GE(idx, 0);
    EXPECT_EQ(driver.connect(idx), QR_FILE_NOT_PRIVATE);
    EXPECT_EQ(modeOf(files.database()), 0644u) << "another user's file is left as it is";
    std::string detail;
    EXPECT_EQ(manager.unplug("MODES3", &detail), QR_FILE_NOT_PRIVATE);
    EXPECT_NE(detail.find("another user"), std::string::npos) << detail;
    auto listed = manager.list();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_FALSE(listed[0].problem.empty());

    // Once it is private again (whoever owns it), it is used as before.
    std::filesystem::permissions(files.database(), std::filesystem::perms(0600));
    ASSERT_EQ(::chown(files.database().c_str(), 0, 0), 0);
    EXPECT_EQ(driver.connect(idx), QR_OK);
}

} // namespace
