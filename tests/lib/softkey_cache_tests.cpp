// What the driver keeps of a key between calls (its connection, its key record and the answers of earlier
// reads) against a key changed elsewhere: through a second handle in this process, by another process or the
// pellorzu-vkey tool, unplugged and plugged back with other content, or damaged. Every change must show at
// the next call; every read is made twice before a change, so the second one is answered from what was kept.
#include "softkey_fixture.h"

#include "token/lib/softkey/key_database.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using quillard::PinKind;

namespace {

class SoftkeyCacheTest : public SoftkeyTest {
protected:
    // Container names of `idx`, read twice so the second answer comes from what the driver kept.
    std::vector<std::string> names(int32_t idx) {
        std::vector<std::string> first, second;
        EXPECT_EQ(driver.listContainers(idx, first), QR_OK);
        EXPECT_EQ(driver.listContainers(idx, second), QR_OK);
        EXPECT_EQ(first, second);
        return second;
    }

    quillard::Result certificate(int32_t idx, const std::string& name, int32_t spec,
                                 std::vector<uint8_t>& der) {
        quillard::Result first = driver.getCertificate(idx, name, spec, der);
        quillard::Result second = driver.getCertificate(idx, name, spec, der);
        EXPECT_EQ(first, second);
        return second;
    }

    // Another driver on the same keys, logged in to `serial` as the user.
    std::unique_ptr<quillard::SoftkeyDriver> secondHandle(const std::string& serial, int32_t& idx) {
        auto other = std::make_unique<quillard::SoftkeyDriver>(quillard::keysFolder());
        std::vector<std::string> serials;
        EXPECT_EQ(other->find(serials), QR_OK);
        idx = static_cast<int32_t>(std::find(serials.begin(), serials.end(), serial) - serials.begin());
        int32_t left = 0;
        EXPECT_EQ(other->login(idx, PinKind::User, kUserPin, left), QR_OK);
        return other;
    }

    // Runs `work` in a child process with a driver of its own; true when it returned true there.
    template <typename Work> bool inAnotherProcess(Work&& work) {
        pid_t pid = fork();
        if (pid == 0) {
            quillard::SoftkeyDriver own(quillard::keysFolder());
            std::vector<std::string> serials;
            bool done = own.find(serials) == QR_OK && work(own);
            _exit(done ? 0 : 1);
        }
        int status = -1;
        return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::filesystem::path databaseOf(const std::string& serial) {
        return world.keysFolder() / (serial + ".db");
    }

    // Writes `bytes` over the file in place, as a careless copy does: the same file, other content.
    static void overwrite(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
        std::ofstream out(file, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Puts a new file with `bytes` in the place of `file`, as a copy put back does.
    static void replace(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
        std::filesystem::path staged = file.string() + ".staged";
        std::ofstream(staged, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::filesystem::rename(staged, file);
    }

    // Moves the file's times on, so a change made within the clock's last tick shows in them as well.
    static void touch(const std::filesystem::path& file) {
        std::filesystem::last_write_time(file,
                                         std::filesystem::last_write_time(file) + std::chrono::seconds(5));
    }
};

TEST_F(SoftkeyCacheTest, ContainersAddedAndDeletedThroughASecondHandleShowAtOnce) {
    int32_t idx = createInitialised("SECOND");
    ASSERT_EQ(loginUser(idx), QR_OK);
    EXPECT_TRUE(names(idx).empty());
    int32_t otherIdx = -1;
    auto other = secondHandle("SECOND", otherIdx);

    ASSERT_EQ(other->createContainer(otherIdx, "Added"), QR_OK);
    EXPECT_EQ(names(idx), std::vector<std::string>{"Added"});
    std::vector<uint8_t> der;
    EXPECT_EQ(certificate(idx, "Added", 1, der), QR_OBJECT_HANDLE_INVALID);

    ASSERT_EQ(other->importCredential(otherIdx, "Added", 1, ecCredential()), QR_OK);
    ASSERT_EQ(certificate(idx, "Added", 1, der), QR_OK);
    EXPECT_EQ(der, ecCredential().certificateDer);
    quillard::KeyDescription key;
    ASSERT_EQ(driver.getPrivateKey(idx, "Added", 1, key), QR_OK);
    EXPECT_EQ(key.algorithm, quillard::AlgorithmEcc);
    const int32_t freeWithCertificate = info(idx).freeMemory;
    EXPECT_EQ(info(idx).freeMemory, freeWithCertificate);

    ASSERT_EQ(other->importCredential(otherIdx, "Added", 1, withoutPrivateKey(otherEcCredential())), QR_OK);
    ASSERT_EQ(certificate(idx, "Added", 1, der), QR_OK);
    EXPECT_EQ(der, otherEcCredential().certificateDer);
    EXPECT_EQ(driver.getPrivateKey(idx, "Added", 1, key), QR_OBJECT_HANDLE_INVALID);
    EXPECT_NE(info(idx).freeMemory, freeWithCertificate);

    ASSERT_EQ(other->deleteContainer(otherIdx, "Added"), QR_OK);
    EXPECT_TRUE(names(idx).empty());
    EXPECT_EQ(certificate(idx, "Added", 1, der), QR_CONTAINER_NOT_FOUND);
    EXPECT_EQ(info(idx).freeMemory, 8192);
}

TEST_F(SoftkeyCacheTest, LabelCountersAndFormatOfASecondHandleShowAtOnce) {
    int32_t idx = createInitialised("LABELS");
    ASSERT_EQ(loginUser(idx), QR_OK);
    EXPECT_EQ(info(idx).label, "Test LABELS");
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 3);
    int32_t otherIdx = -1;
    auto other = secondHandle("LABELS", otherIdx);

    ASSERT_EQ(other->setLabel(otherIdx, "Renamed"), QR_OK);
    EXPECT_EQ(info(idx).label, "Renamed");
    int32_t left = 0;
    ASSERT_EQ(other->login(otherIdx, PinKind::User, "0000", left), QR_PIN_INCORRECT);
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 2);
    EXPECT_EQ(pinState(idx, PinKind::User).loggedIn, 1);

    ASSERT_EQ(other->login(otherIdx, PinKind::SecurityOfficer, kSoPin, left), QR_OK);
    quillard::FormatSettings format;
    format.label = "Formatted";
    format.userPin = "5678";
    format.soPin = kSoPin;
    format.userPinRetries = format.soPinRetries = 5;
    format.userPinMinLength = format.soPinMinLength = 4;
    format.userPinMaxLength = format.soPinMaxLength = 16;
    ASSERT_EQ(other->format(otherIdx, format), QR_OK);
    EXPECT_EQ(info(idx).label, "Formatted");
    EXPECT_EQ(pinState(idx, PinKind::User).loggedIn, 0);
    EXPECT_EQ(pinState(idx, PinKind::User).maxRetries, 5);
    EXPECT_EQ(driver.createContainer(idx, "C"), QR_USER_NOT_LOGGED_IN);
}

TEST_F(SoftkeyCacheTest, ChangesOfAnotherProcessShowAtOnce) {
    int32_t idx = createInitialised("PROCESS");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(driver.createContainer(idx, "Mine"), QR_OK);
    EXPECT_EQ(names(idx), std::vector<std::string>{"Mine"});
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 3);

    ASSERT_TRUE(inAnotherProcess([](quillard::SoftkeyDriver& own) {
        int32_t left = 0;
        return own.login(0, PinKind::User, kUserPin, left) == QR_OK &&
               own.createContainer(0, "Theirs") == QR_OK && own.deleteContainer(0, "Mine") == QR_OK;
    }));
    EXPECT_EQ(names(idx), std::vector<std::string>{"Theirs"});

    ASSERT_TRUE(inAnotherProcess([](quillard::SoftkeyDriver& own) {
        int32_t left = 0;
        return own.login(0, PinKind::User, "0000", left) == QR_PIN_INCORRECT &&
               own.setLabel(0, "Theirs") == QR_OK;
    }));
    EXPECT_EQ(pinState(idx, PinKind::User).retriesLeft, 2);
    EXPECT_EQ(info(idx).label, "Theirs");
}

TEST_F(SoftkeyCacheTest, ContainersTheVkeyToolAddsShowAtOnce) {
    std::filesystem::path tool = std::filesystem::canonical("/proc/self/exe").parent_path() / "pellorzu-vkey";
    if (!std::filesystem::exists(tool))
        GTEST_SKIP() << "pellorzu-vkey has not been built";
    int32_t idx = createInitialised("TOOL");
    EXPECT_TRUE(names(idx).empty());

    std::string command = "'" + tool.string() + "' demo TOOL --user-pin " + kUserPin + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<std::string> filled = names(idx);
    ASSERT_EQ(filled.size(), 2u);
    std::vector<uint8_t> der;
    EXPECT_EQ(certificate(idx, filled[0], 1, der), QR_OK);
    quillard::KeyDescription key;
    EXPECT_EQ(driver.getPrivateKey(idx, filled[0], 1, key), QR_USER_NOT_LOGGED_IN);
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(driver.getPrivateKey(idx, filled[1], 2, key), QR_OK);
    EXPECT_EQ(key.algorithm, quillard::AlgorithmEcc);

    // Filling again gives fresh pairs: the certificates read must be the new ones.
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<uint8_t> again;
    ASSERT_EQ(certificate(idx, filled[0], 1, again), QR_OK);
    EXPECT_NE(again, der);
}

TEST_F(SoftkeyCacheTest, UnpluggedKeyIsGoneAtOnceEvenWithEverythingKept) {
    int32_t idx = createInitialised("GONE");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(driver.createContainer(idx, "Box"), QR_OK);
    EXPECT_EQ(names(idx), std::vector<std::string>{"Box"});
    info(idx);
    info(idx);

    ASSERT_EQ(manager.unplug("GONE"), QR_OK);
    std::vector<std::string> listed;
    EXPECT_EQ(driver.listContainers(idx, listed), QR_DEVICE_REMOVED);
    quillard::KeyInfo keyInfo;
    EXPECT_EQ(driver.getInfo(idx, keyInfo), QR_DEVICE_REMOVED);
    EXPECT_EQ(driver.connect(idx), QR_DEVICE_REMOVED);
}

TEST_F(SoftkeyCacheTest, KeyPluggedBackWithOtherContentIsReadAfresh) {
    int32_t idx = createInitialised("BACK");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(driver.createContainer(idx, "Before"), QR_OK);
    EXPECT_EQ(names(idx), std::vector<std::string>{"Before"});
    EXPECT_EQ(info(idx).label, "Test BACK");

    // Out and back in between two calls, changed while it was out: the same file, other content.
    ASSERT_EQ(manager.unplug("BACK"), QR_OK);
    {
        auto database =
            quillard::softkey::KeyDatabase::openExisting(quillard::unpluggedKeysFolder() / "BACK.db");
        auto transaction = database.beginWrite();
        database.removeAllContainers();
        database.addContainer("While out");
        quillard::softkey::KeyRecord record = database.key();
        record.label = "Changed while out";
        database.saveKey(record);
        transaction.commit();
    }
    ASSERT_EQ(manager.plug("BACK"), QR_OK);
    EXPECT_EQ(names(idx), std::vector<std::string>{"While out"});
    EXPECT_EQ(info(idx).label, "Changed while out");
    EXPECT_EQ(pinState(idx, PinKind::User).loggedIn, 0);

    // Out, deleted, and another key of the same serial made and plugged in: another file.
    ASSERT_EQ(manager.unplug("BACK"), QR_OK);
    ASSERT_EQ(manager.remove("BACK"), QR_OK);
    quillard::VirtualKeySettings settings = initialisedKey("BACK");
    settings.label = "Second key";
    settings.totalMemory = 4096;
    create(settings);
    EXPECT_TRUE(names(idx).empty());
    EXPECT_EQ(info(idx).label, "Second key");
    EXPECT_EQ(info(idx).totalMemory, 4096);
}

TEST_F(SoftkeyCacheTest, KeyFilePutBackFromACopyIsReadAfresh) {
    int32_t idx = createInitialised("COPY");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(driver.createContainer(idx, "First"), QR_OK);
    const std::vector<uint8_t> withFirst = fileBytes(databaseOf("COPY"));
    ASSERT_EQ(driver.createContainer(idx, "Second"), QR_OK);
    const std::vector<uint8_t> withBoth = fileBytes(databaseOf("COPY"));
    EXPECT_EQ(names(idx), (std::vector<std::string>{"First", "Second"}));

    // A new file renamed into place.
    replace(databaseOf("COPY"), withFirst);
    EXPECT_EQ(names(idx), std::vector<std::string>{"First"});
    // The same file written over, by something other than SQLite.
    overwrite(databaseOf("COPY"), withBoth);
    touch(databaseOf("COPY"));
    EXPECT_EQ(names(idx), (std::vector<std::string>{"First", "Second"}));
    overwrite(databaseOf("COPY"), withFirst);
    EXPECT_EQ(names(idx), std::vector<std::string>{"First"});
    // The login survives: the key is the same key.
    EXPECT_EQ(driver.createContainer(idx, "Third"), QR_OK);
    EXPECT_EQ(names(idx), (std::vector<std::string>{"First", "Third"}));
}

TEST_F(SoftkeyCacheTest, DamagedKeyFileGivesAClearCodeAndRecovers) {
    int32_t idx = createInitialised("DAMAGE");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(driver.createContainer(idx, "Box"), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "Box", 1, ecCredential()), QR_OK);
    const std::filesystem::path file = databaseOf("DAMAGE");
    const std::vector<uint8_t> good = fileBytes(file);
    std::vector<uint8_t> der;
    ASSERT_EQ(certificate(idx, "Box", 1, der), QR_OK);
    EXPECT_EQ(names(idx), std::vector<std::string>{"Box"});

    // Text where the database was.
    std::string text(good.size(), 'x');
    overwrite(file, std::vector<uint8_t>(text.begin(), text.end()));
    quillard::KeyInfo keyInfo;
    EXPECT_EQ(driver.getInfo(idx, keyInfo), QR_TOKEN_NOT_RECOGNIZED);
    std::vector<std::string> listed;
    EXPECT_EQ(driver.listContainers(idx, listed), QR_TOKEN_NOT_RECOGNIZED);
    EXPECT_EQ(driver.getCertificate(idx, "Box", 1, der), QR_TOKEN_NOT_RECOGNIZED);

    // An empty file, which SQLite takes for an empty database.
    overwrite(file, {});
    EXPECT_EQ(driver.getInfo(idx, keyInfo), QR_TOKEN_NOT_RECOGNIZED);
    EXPECT_EQ(driver.listContainers(idx, listed), QR_TOKEN_NOT_RECOGNIZED);

    // A sound header over pages turned to noise, written behind SQLite's back: the header says nothing
    // changed, the file's times say otherwise.
    overwrite(file, good);
    ASSERT_EQ(certificate(idx, "Box", 1, der), QR_OK);
    EXPECT_EQ(names(idx), std::vector<std::string>{"Box"});
    std::vector<uint8_t> noisy = good;
    for (std::size_t i = 4096; i < noisy.size(); ++i)
        noisy[i] = static_cast<uint8_t>(i * 131 + 7);
    overwrite(file, noisy);
    touch(file);
    quillard::Result damaged = driver.getCertificate(idx, "Box", 1, der);
    EXPECT_TRUE(damaged == QR_DEVICE_ERROR || damaged == QR_TOKEN_NOT_RECOGNIZED) << damaged;
    damaged = driver.listContainers(idx, listed);
    EXPECT_TRUE(damaged == QR_DEVICE_ERROR || damaged == QR_TOKEN_NOT_RECOGNIZED) << damaged;

    // Put right again, the key reads as before; the login is still there.
    overwrite(file, good);
    touch(file);
    ASSERT_EQ(certificate(idx, "Box", 1, der), QR_OK);
    EXPECT_EQ(der, ecCredential().certificateDer);
    EXPECT_EQ(names(idx), std::vector<std::string>{"Box"});
    quillard::KeyDescription key;
    EXPECT_EQ(driver.getPrivateKey(idx, "Box", 1, key), QR_OK);
}

TEST_F(SoftkeyCacheTest, AnswersKeptStillNeedTheLogin) {
    int32_t idx = createInitialised("LOGIN");
    ASSERT_EQ(loginUser(idx), QR_OK);
    ASSERT_EQ(driver.createContainer(idx, "Box"), QR_OK);
    ASSERT_EQ(driver.importCredential(idx, "Box", 1, ecCredential()), QR_OK);
    quillard::KeyDescription key;
    ASSERT_EQ(driver.getPrivateKey(idx, "Box", 1, key), QR_OK);
    ASSERT_EQ(driver.getPrivateKey(idx, "Box", 1, key), QR_OK);
    EXPECT_EQ(pinState(idx, PinKind::User).loggedIn, 1);

    ASSERT_EQ(driver.logout(idx), QR_OK);
    EXPECT_EQ(driver.getPrivateKey(idx, "Box", 1, key), QR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(pinState(idx, PinKind::User).loggedIn, 0);
    std::vector<uint8_t> der;
    EXPECT_EQ(certificate(idx, "Box", 1, der), QR_OK);
}

} // namespace
