// One plugged-in virtual key, opened for one driver call. Every lock taken on it also checks that its
// database is still in the device folder: a key unplugged between two calls, or while a call waited for the
// lock, answers QR_DEVICE_REMOVED instead of working on a key that is gone.
#pragma once

#include "disk_image.h"
#include "key_database.h"
#include "key_files.h"

#include <filesystem>
#include <string>

namespace quillard::softkey {

class PluggedKey {
public:
    // Throws SoftkeyError: QR_DEVICE_REMOVED when the key is not in `folder`, QR_TOKEN_NOT_RECOGNIZED when
    // its database belongs to another serial; a damaged database fails as KeyDatabase::openExisting says.
    PluggedKey(const std::filesystem::path& folder, const std::string& serial);

    SqliteTransaction lockForReading();
    SqliteTransaction lockForWriting();

    const std::string& serial() const { return files_.serial(); }
    KeyDatabase& database() { return database_; }
    DiskImage diskImage() const { return DiskImage(files_.diskImage()); }

private:
    static KeyDatabase openDatabase(const KeyFiles& files);
    void checkStillPlugged() const;

    KeyFiles files_;
    KeyDatabase database_;
};

} // namespace quillard::softkey
