// A process killed between the two renames of a plug or unplug, or while building a new key, leaves files
// that the next list, plug, unplug or scan puts right, so no key is ever stuck.
#include "softkey_fixture.h"
#include "token/lib/softkey/key_files.h"

namespace {

using quillard::softkey::KeyFiles;

class HalfMovesTest : public SoftkeyTest {
protected:
    KeyFiles plugged(const std::string& serial) { return {world.keysFolder(), serial}; }
    KeyFiles unplugged(const std::string& serial) { return {quillard::unpluggedKeysFolder(), serial}; }

    // What a kill between the two renames leaves: the database moved, the disk image not yet (unplug), or the
    // disk image moved, the database not yet (plug). Both leave the database unplugged and the image plugged.
    void splitKey(const std::string& serial) {
        create(initialisedKey(serial));
        ASSERT_EQ(manager.unplug(serial), QR_OK);
        std::filesystem::create_directories(world.keysFolder());
        std::filesystem::rename(unplugged(serial).diskImage(), plugged(serial).diskImage());
    }

    // Both files of the key sit together in one folder, plugged or not.
    void expectWhole(const std::string& serial, bool isPlugged) {
        KeyFiles here = isPlugged ? plugged(serial) : unplugged(serial);
        KeyFiles there = isPlugged ? unplugged(serial) : plugged(serial);
        EXPECT_TRUE(std::filesystem::exists(here.database()));
        EXPECT_TRUE(std::filesystem::exists(here.diskImage()));
        EXPECT_FALSE(std::filesystem::exists(there.database()));
        EXPECT_FALSE(std::filesystem::exists(there.diskImage()));
    }
};

TEST_F(HalfMovesTest, EachEntryPointFinishesAHalfDoneMove) {
    splitKey("SPLIT1");
    auto listed = manager.list();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(listed[0].problem.empty()) << listed[0].problem;
    expectWhole("SPLIT1", false);

    splitKey("SPLIT2");
    EXPECT_EQ(manager.plug("SPLIT2"), QR_OK);
    expectWhole("SPLIT2", true);

    splitKey("SPLIT3");
    EXPECT_EQ(indexOf("SPLIT3"), -1) << "a key whose database is unplugged stays unplugged";
    expectWhole("SPLIT3", false);

    // A database that is plugged while its image was left behind gets its image back.
    create(initialisedKey("SPLIT4"));
    std::filesystem::create_directories(quillard::unpluggedKeysFolder());
    std::filesystem::rename(plugged("SPLIT4").diskImage(), unplugged("SPLIT4").diskImage());
    EXPECT_EQ(manager.unplug("SPLIT4"), QR_OK);
    expectWhole("SPLIT4", false);
    EXPECT_EQ(manager.plug("SPLIT4"), QR_OK);
    int32_t idx = indexOf("SPLIT4");
    ASSERT_GE(idx, 0);
    uint8_t sector[2048] = {1};
    ASSERT_EQ(loginUser(idx), QR_OK);
    EXPECT_EQ(driver.writeSectors(idx, 0, 1, sector), QR_OK);
}

TEST_F(HalfMovesTest, LeftoversOfAKilledCreateAreRemovedAndTheSerialStaysFree) {
    std::filesystem::path staging = quillard::unpluggedKeysFolder() / ".new";
    std::filesystem::create_directories(staging);
    std::ofstream(staging / "HALF1.db") << "half a database";
    std::ofstream(staging / "HALF1.img") << "";
    EXPECT_TRUE(manager.list().empty());
    EXPECT_FALSE(std::filesystem::exists(staging));
    create(initialisedKey("HALF1"));
    EXPECT_EQ(manager.list().size(), 1u);
}

} // namespace
