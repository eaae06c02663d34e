#include "plugged_key.h"

#include "softkey_error.h"

namespace quillard::softkey {

PluggedKey::PluggedKey(const std::filesystem::path& folder, const std::string& serial)
    : files_(folder, serial), database_(openDatabase(files_)) {
    SqliteTransaction transaction = lockForReading();
    if (database_.key().serial != serial)
        throw SoftkeyError(QR_TOKEN_NOT_RECOGNIZED, "the key database belongs to another serial");
}

KeyDatabase PluggedKey::openDatabase(const KeyFiles& files) {
    files.makePrivate();
    try {
        return KeyDatabase::openExisting(files.database());
    } catch (const StorageError& error) {
        if (error.code() == QR_FILE_NOT_FOUND)
            throw SoftkeyError(QR_DEVICE_REMOVED, "the key " + files.serial() + " has been removed");
        throw;
    }
}

SqliteTransaction PluggedKey::lockForReading() {
    SqliteTransaction transaction = database_.beginRead();
    checkStillPlugged();
    return transaction;
}

SqliteTransaction PluggedKey::lockForWriting() {
    SqliteTransaction transaction = database_.beginWrite();
    checkStillPlugged();
    return transaction;
}

void PluggedKey::checkStillPlugged() const {
    if (!files_.exist())
        throw SoftkeyError(QR_DEVICE_REMOVED, "the key " + files_.serial() + " has been removed");
}

} // namespace quillard::softkey
