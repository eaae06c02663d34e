// One key list over several drivers, here two virtual-key drivers on folders of their own: the first
// driver's keys first in its own order, the others' keys in the places they had, arrivals last, and every
// call reaching the key its index names.
#include "softkey_fixture.h"
#include "token/lib/driver_set.h"

namespace {

class DriverSetTest : public SoftkeyTest {
protected:
    DriverSetTest() {
        std::vector<std::unique_ptr<quillard::Driver>> drivers;
        drivers.push_back(std::make_unique<quillard::SoftkeyDriver>(world.keysFolder()));
        drivers.push_back(std::make_unique<quillard::SoftkeyDriver>(otherFolder()));
        set = std::make_unique<quillard::DriverSet>(std::move(drivers));
    }

    std::filesystem::path otherFolder() const { return world.root() / "other-keys"; }

    void createOther(const std::string& serial) {
        quillard::VirtualKeyManager other(otherFolder(), world.root() / "other-unplugged");
        std::string made;
        ASSERT_EQ(other.create(initialisedKey(serial), made), QR_OK);
    }

    std::vector<std::string> scan() {
        std::vector<std::string> serials;
        EXPECT_EQ(set->find(serials), QR_OK);
        return serials;
    }

    std::unique_ptr<quillard::DriverSet> set;
};

using Serials = std::vector<std::string>;

} // namespace

TEST_F(DriverSetTest, KeysKeepTheirPlacesWhileTheyStayAndCallsReachTheirKey) {
    createOther("OTHER-B");
    createOther("OTHER-A");
    create(initialisedKey("FIRST-2"));
    EXPECT_EQ(scan(), (Serials{"FIRST-2", "OTHER-A", "OTHER-B"}));

    createOther("OTHER-0");
    create(initialisedKey("FIRST-1"));
    EXPECT_EQ(scan(), (Serials{"FIRST-1", "FIRST-2", "OTHER-A", "OTHER-B", "OTHER-0"}))
        << "the first driver's keys in its order, the others' arrivals after the keys they had";

    quillard::VirtualKeyManager other(otherFolder(), world.root() / "other-unplugged");
    ASSERT_EQ(other.unplug("OTHER-A"), QR_OK);
    EXPECT_EQ(scan(), (Serials{"FIRST-1", "FIRST-2", "OTHER-B", "OTHER-0"}));
    ASSERT_EQ(other.plug("OTHER-A"), QR_OK);
    EXPECT_EQ(scan(), (Serials{"FIRST-1", "FIRST-2", "OTHER-B", "OTHER-0", "OTHER-A"}));

    int32_t left = 0;
    ASSERT_EQ(set->login(3, quillard::PinKind::User, kUserPin, left), QR_OK);
    quillard::PinState state;
    ASSERT_EQ(set->getPinState(3, quillard::PinKind::User, state), QR_OK);
    EXPECT_EQ(state.loggedIn, 1);
    ASSERT_EQ(set->getPinState(2, quillard::PinKind::User, state), QR_OK);
    EXPECT_EQ(state.loggedIn, 0) << "the login belongs to OTHER-0 alone";
    quillard::KeyInfo info;
    ASSERT_EQ(set->getInfo(3, info), QR_OK);
    EXPECT_EQ(info.serial, "OTHER-0");
    EXPECT_EQ(set->getInfo(5, info), QR_SLOT_ID_INVALID);
    bool changed = true;
    EXPECT_EQ(set->presenceChanged(changed), QR_OK);
    EXPECT_FALSE(changed) << "virtual keys are seen through their folder, not polled";
}
