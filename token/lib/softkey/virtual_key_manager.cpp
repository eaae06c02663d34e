#include "virtual_key_manager.h"

#include "disk_image.h"
#include "key_database.h"
#include "key_files.h"
#include "key_label.h"
#include "key_moves.h"
#include "login_sessions.h"
#include "personalisation.h"
#include "softkey_error.h"
#include "token/lib/hex_text.h"
#include "token/lib/openssl_providers.h"
#include "token/lib/paths.h"
#include "token/lib/private_files.h"

#include <openssl/rand.h>

#include <algorithm>
#include <limits>

namespace quillard {

using namespace softkey;

namespace {

constexpr uint64_t kLargestDisk = uint64_t(1) << 36; // 64 GiB of sectors, far beyond any real key
constexpr std::size_t kLongestMakerText = 32;
constexpr std::size_t kLongestModel = 64;

[[noreturn]] void refuse(const std::string& why) {
    throw SoftkeyError(QR_ARGUMENTS_BAD, why);
}

void checkKeyFacts(const VirtualKeySettings& settings) {
    if (!settings.serial.empty() && !KeyFiles::isValidSerial(settings.serial))
        refuse("a serial has 1 to 32 letters, digits, '-' or '_'");
    if (!KeyLabel::isValid(settings.label))
        refuse("the label must be UTF-8 of fewer than 32 bytes");
    if (settings.manufacturer.size() > kLongestMakerText || settings.model.size() > kLongestModel)
        refuse("the manufacturer takes at most 32 bytes and the model at most 64");
    if (settings.productId < 0 || settings.productId > 0xFFFF)
        refuse("the product id must lie between 0x0000 and 0xFFFF");
    if (settings.totalMemory < 1 || settings.totalMemory > std::numeric_limits<int32_t>::max())
        refuse("the memory size must lie between 1 byte and 2 GiB");
    if (settings.diskBytes % DiskImage::kSectorSize != 0 || settings.diskBytes > kLargestDisk)
        refuse("the disk size must be a whole number of 2048-byte sectors, at most 64 GiB");
    if (settings.kdfIterations < 1)
        refuse("the PIN derivation needs at least one iteration");
}

Personalisation personalisationOf(const VirtualKeySettings& settings) {
    return Personalisation{settings.userPolicy, settings.soPolicy, settings.userPin, settings.soPin};
}

void checkSettings(const VirtualKeySettings& settings) {
    checkKeyFacts(settings);
    Personalisation personalisation = personalisationOf(settings);
    if (settings.initialised)
        personalisation.check();
    else if (!settings.userPolicy.isValid() || !settings.soPolicy.isValid())
        refuse("a PIN policy needs lengths of 1 to 32 with the minimum not above the maximum, and 1 to 15 "
               "retries");
}

std::string randomSerial() {
    uint8_t bytes[7];
    if (RAND_bytes_ex(libraryContext(), bytes, sizeof bytes, 0) != 1)
        throw SoftkeyError(QR_GENERAL_ERROR, "no random bytes");
    return "VK" + upperHex(bytes, sizeof bytes);
}

KeyRecord recordOf(const VirtualKeySettings& settings, const std::string& serial) {
    KeyRecord record;
    record.serial = serial;
    record.label = settings.label;
    record.manufacturer = settings.manufacturer;
    record.model = settings.model;
    record.issuer = settings.manufacturer;
    record.productId = settings.productId;
    record.totalMemory = settings.totalMemory;
    record.diskBytes = settings.diskBytes;
    record.initialised = settings.initialised;
    record.kdfIterations = settings.kdfIterations;
    record.sessionEpoch = LoginSessions::newEpoch();
    return record;
}

// Writes the key's two files under the names of `files`.
void buildKey(const KeyFiles& files, const VirtualKeySettings& settings) {
    if (createPrivateFile(files.database()) != QR_OK)
        throw SoftkeyError(QR_STORAGE_ERROR, "cannot create " + files.database().string());
    KeyDatabase database = KeyDatabase::createNew(files.database(), recordOf(settings, files.serial()));
    SqliteTransaction transaction = database.beginWrite();
    if (settings.initialised)
        personalisationOf(settings).saveTo(database, PinVault(settings.kdfIterations));
    else
        personalisationOf(settings).saveBlankTo(database);
    transaction.commit();
    DiskImage(files.diskImage()).create(settings.diskBytes);
}

} // namespace

VirtualKeyManager::VirtualKeyManager() : VirtualKeyManager(keysFolder(), unpluggedKeysFolder()) {}

VirtualKeyManager::VirtualKeyManager(std::filesystem::path keysFolder, std::filesystem::path unpluggedFolder)
    : keysFolder_(std::move(keysFolder)), unpluggedFolder_(std::move(unpluggedFolder)) {}

Result VirtualKeyManager::create(const VirtualKeySettings& settings, std::string& serial,
                                 std::string* detail) {
    return runGuarded(
        [&] {
            checkSettings(settings);
            std::string newSerial = settings.serial.empty() ? randomSerial() : settings.serial;
            // The key is built in a staging folder and moved into place whole, so no half-made key is ever
            // seen; the move lock keeps other runs from taking the staging folder for a leftover meanwhile.
            KeyMoveLock lock = lockMoves();
            checkSerialFree(newSerial);
            KeyFiles staged(KeyMoves(keysFolder_, unpluggedFolder_).stagingFolder(), newSerial);
            requirePrivateFolder(staged.folder());
            try {
                buildKey(staged, settings);
                staged.moveTo(settings.plugged ? keysFolder_ : unpluggedFolder_,
                              KeyFiles::MoveOrder::DiskImageFirst);
            } catch (...) {
                staged.remove();
                throw;
            }
            std::error_code ignored;
            std::filesystem::remove(staged.folder(), ignored);
            serial = newSerial;
            return QR_OK;
        },
        detail);
}

std::vector<VirtualKeyStatus> VirtualKeyManager::list() {
    KeyMoves(keysFolder_, unpluggedFolder_).repairIfIdle();
    std::vector<VirtualKeyStatus> keys;
    for (bool plugged : {true, false}) {
        const std::filesystem::path& folder = plugged ? keysFolder_ : unpluggedFolder_;
        for (const std::string& serial : KeyFiles::serialsIn(folder))
            keys.push_back(readStatus(folder, serial, plugged));
    }
    return keys;
}

Result VirtualKeyManager::status(const std::string& serial, VirtualKeyStatus& status) {
    KeyMoves(keysFolder_, unpluggedFolder_).repairIfIdle();
    if (KeyFiles(keysFolder_, serial).exist())
        status = readStatus(keysFolder_, serial, true);
    else if (KeyFiles(unpluggedFolder_, serial).exist())
        status = readStatus(unpluggedFolder_, serial, false);
    else
        return QR_TOKEN_NOT_PRESENT;
    return QR_OK;
}

Result VirtualKeyManager::plug(const std::string& serial, std::string* detail) {
    return runGuarded(
        [&] {
            KeyMoveLock lock = lockMoves();
            if (locate(serial) != unpluggedFolder_)
                refuse("the key " + serial + " is plugged in already");
            KeyFiles unplugged(unpluggedFolder_, serial);
            unplugged.makePrivate();
            {
                // A key plugged in again starts with nobody logged in.
                KeyDatabase database = KeyDatabase::openExisting(unplugged.database());
                SqliteTransaction transaction = database.beginWrite();
                KeyRecord record = database.key();
                record.sessionEpoch = LoginSessions::newEpoch();
                database.saveKey(record);
                transaction.commit();
            }
            unplugged.moveTo(keysFolder_, KeyFiles::MoveOrder::DiskImageFirst);
            return QR_OK;
        },
        detail);
}

Result VirtualKeyManager::unplug(const std::string& serial, std::string* detail) {
    return runGuarded(
        [&] {
            KeyMoveLock lock = lockMoves();
            if (locate(serial) != keysFolder_)
                refuse("the key " + serial + " is not plugged in");
            KeyFiles plugged(keysFolder_, serial);
            plugged.makePrivate();
            KeyDatabase database = KeyDatabase::openExisting(plugged.database());
            // Waits until no process is inside a call on this key, and keeps them out while the files move.
            SqliteTransaction transaction = database.beginExclusive();
            plugged.moveTo(unpluggedFolder_, KeyFiles::MoveOrder::DatabaseFirst);
            return QR_OK;
        },
        detail);
}

Result VirtualKeyManager::remove(const std::string& serial, std::string* detail) {
    return runGuarded(
        [&] {
            KeyMoveLock lock = lockMoves();
            KeyFiles files(locate(serial), serial);
            KeyDatabase database = KeyDatabase::openExisting(files.database());
            SqliteTransaction transaction = database.beginExclusive();
            files.remove();
            return QR_OK;
        },
        detail);
}

VirtualKeyStatus VirtualKeyManager::readStatus(const std::filesystem::path& folder, const std::string& serial,
                                               bool plugged) {
    VirtualKeyStatus status;
    status.serial = serial;
    status.plugged = plugged;
    Result result = runGuarded(
        [&] {
            KeyFiles files(folder, serial);
            files.makePrivate();
            KeyDatabase database = KeyDatabase::openExisting(files.database());
            SqliteTransaction transaction = database.beginRead();
            KeyRecord record = database.key();
            status.label = record.label;
            status.initialised = record.initialised;
            status.productId = record.productId;
            status.userPin = database.pin(PinKind::User).state();
            status.soPin = database.pin(PinKind::SecurityOfficer).state();
            status.totalMemory = record.totalMemory;
            status.freeMemory = std::max<int64_t>(0, record.totalMemory - database.usedMemory());
            status.diskBytes = record.diskBytes;
            status.containers = database.containerNames().size();
            return QR_OK;
        },
        &status.problem);
    if (result != QR_OK && status.problem.empty())
        status.problem = "the key cannot be read";
    return status;
}

KeyMoveLock VirtualKeyManager::lockMoves() const {
    KeyMoveLock lock(unpluggedFolder_, true);
    if (!lock.held())
        throw SoftkeyError(QR_STORAGE_ERROR, "cannot lock " + unpluggedFolder_.string() + " for moving keys");
    KeyMoves(keysFolder_, unpluggedFolder_).repair();
    return lock;
}

void VirtualKeyManager::checkSerialFree(const std::string& serial) const {
    if (KeyFiles(keysFolder_, serial).exist() || KeyFiles(unpluggedFolder_, serial).exist())
        refuse("a virtual key with the serial " + serial + " exists already");
}

std::filesystem::path VirtualKeyManager::locate(const std::string& serial) const {
    if (KeyFiles::isValidSerial(serial)) {
        if (KeyFiles(keysFolder_, serial).exist())
            return keysFolder_;
        if (KeyFiles(unpluggedFolder_, serial).exist())
            return unpluggedFolder_;
    }
    throw SoftkeyError(QR_TOKEN_NOT_PRESENT, "there is no virtual key with the serial " + serial);
}

} // namespace quillard
