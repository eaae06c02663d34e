#include "plugged_key.h"

#include "softkey_error.h"

#include <sys/stat.h>

namespace quillard::softkey {

namespace {

// A key whose file is replaced again and again while a call tries to lock it is not worked on.
constexpr int kMostOpenings = 4;

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

[[noreturn]] void throwRemoved(const KeyFiles& files) {
    throw SoftkeyError(QR_DEVICE_REMOVED, "the key " + files.serial() + " has been removed");
}

} // namespace

bool PluggedKey::FileState::looksUnchangedFrom(const FileState& other) const {
    return isSameFileAs(other) && size == other.size && sameTime(modified, other.modified) &&
           sameTime(changed, other.changed);
}

PluggedKey::PluggedKey(const std::filesystem::path& folder, const std::string& serial)
    : files_(folder, serial), database_(openDatabase(files_)),
      databaseName_(files_.database().filename().string()) {
    lockForReading();
}

std::unique_ptr<KeyDatabase> PluggedKey::openDatabase(const KeyFiles& files) {
    files.makePrivate();
    try {
        return std::make_unique<KeyDatabase>(KeyDatabase::openExisting(files.database()));
    } catch (const StorageError& error) {
        if (error.code() == QR_FILE_NOT_FOUND)
            throwRemoved(files);
        throw;
    }
}

SqliteTransaction PluggedKey::lockForReading() {
    return lock(SqliteTransaction::Kind::Read);
}

SqliteTransaction PluggedKey::lockForWriting() {
    return lock(SqliteTransaction::Kind::Write);
}

SqliteTransaction PluggedKey::lock(SqliteTransaction::Kind kind) {
    const bool reading = kind == SqliteTransaction::Kind::Read;
    foundUnchanged_ = false; // whatever the lock finds, readUnlocked() looks again
    watchedSinceLook_ = false;
    for (int opening = 1;; ++opening) {
        {
            SqliteTransaction transaction(reading ? database_->beginRead() : database_->beginWrite());
            // The lock is held now: the file cannot change until the transaction ends.
            std::optional<FileState> file = fileState();
            if (!file)
                throwRemoved(files_);
            bool sameFile = identified_ ? file->isSameFileAs(file_) : !database_->hasMoved();
            if (sameFile) {
                uint32_t version = database_->dataVersion();
                if (!known_ || version != dataVersion_) {
                    // Changed since the last lock, by this driver or through another connection.
                    identified_ = true;
                    file_ = *file;
                    forgetMemo();
                    refresh();
                    dataVersion_ = version;
                    known_ = true;
                }
                if (file->looksUnchangedFrom(file_)) {
                    if (reading) {
                        // The memo describes the file as it is now: this read may use it and add to it.
                        if (!memoHeader_)
                            memoHeader_ = header();
                        database_->setMemoMode(memoHeader_ ? KeyDatabase::MemoMode::Record
                                                           : KeyDatabase::MemoMode::Off);
                    } else {
                        // What this call writes is read back at the next lock; until then nothing kept
                        // counts.
                        known_ = false;
                        forgetMemo();
                    }
                    return transaction;
                }
                // Written behind SQLite's back: none of the pages it keeps can be trusted.
            }
        }
        if (opening == kMostOpenings)
            throw SoftkeyError(QR_DEVICE_ERROR, "the database of the key " + serial() + " keeps changing");
        database_.reset();
        identified_ = false;
        known_ = false;
        memoHeader_.reset();
        database_ = openDatabase(files_);
    }
}

std::optional<PluggedKey::FileState> PluggedKey::fileState() const {
    struct stat status {};
    if (::stat(files_.database().c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    FileState file;
    file.device = status.st_dev;
    file.inode = status.st_ino;
    file.size = status.st_size;
    file.modified = status.st_mtim;
    file.changed = status.st_ctim;
    return file;
}

void PluggedKey::refresh() {
    database_->checkSchema();
    record_ = database_->key();
    if (record_.serial != serial())
        throw SoftkeyError(QR_TOKEN_NOT_RECOGNIZED, "the key database belongs to another serial");
}

void PluggedKey::forgetMemo() {
    memoHeader_.reset();
    watchedSinceLook_ = false;
    database_->forgetMemo();
    database_->setMemoMode(KeyDatabase::MemoMode::Off);
}

std::optional<PluggedKey::Header> PluggedKey::header() {
    Header bytes{};
    if (!database_->peekFile(kHeaderOffset, bytes.data(), static_cast<int>(bytes.size())))
        return std::nullopt;
    // Bytes 18 and 19 of the file are 1 for a rollback journal. With a write-ahead log a commit would leave
    // the database file, and so its header, alone.
    if (bytes[18 - kHeaderOffset] != 1 || bytes[19 - kHeaderOffset] != 1)
        return std::nullopt;
    return bytes;
}

bool PluggedKey::unchangedSinceMemo() {
    if (!memoHeader_)
        return false;
    // The watch is asked first: a change after this look is then seen by the next one.
    if (watch_ && !watch_->sawChange(databaseName_) && watchedSinceLook_)
        return true;
    std::optional<FileState> file = fileState(); // a key gone is left to the lock to report
    watchedSinceLook_ = file && file->looksUnchangedFrom(file_) && header() == memoHeader_;
    return watchedSinceLook_;
}

} // namespace quillard::softkey
