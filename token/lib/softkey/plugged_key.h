// One plugged-in virtual key, kept open by the driver from one call to the next: its database connection with
// the statements it has prepared, and its key record. Every lock taken on it checks the key, cheaply (one
// stat of the database file and SQLite's data version), before the call works on it:
// - a key unplugged between two calls, or while a call waited for the lock, answers QR_DEVICE_REMOVED
//   instead of working on a key that is gone;
// - a database file replaced by another one (another key of the serial, a copy put back) is opened afresh;
// - a database changed through another connection (another process, another driver) has its key record
//   read again, while SQLite drops the pages it kept;
// - a file written behind SQLite's back (its size or times changed while SQLite saw no change) is opened
//   afresh, so nothing read before is trusted.
// What the reads under those locks answered is kept (KeyDatabase's memo). A later read is answered from the
// memo alone, without the lock, when one stat and the file's header (SQLite's change counter, which every
// commit of any process changes before it is done) show the file exactly as it was at the last lock: the
// answer is the key as it stood then, and it still stands. Once that look has found the file unchanged, a
// watch on the key's folder (FolderWatch, given by watchWith()) stands in for it until something touches the
// file, so a key read again and again (a signature per module call) costs one system call per read, not two.
#pragma once

#include "disk_image.h"
#include "folder_watch.h"
#include "key_database.h"
#include "key_files.h"
#include "key_records.h"

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quillard::softkey {

class PluggedKey {
public:
    // Throws SoftkeyError: QR_DEVICE_REMOVED when the key is not in `folder`, QR_TOKEN_NOT_RECOGNIZED when
    // its database belongs to another serial; a damaged database fails as KeyDatabase::openExisting says.
    PluggedKey(const std::filesystem::path& folder, const std::string& serial);

    // The key's lock for one call, taken after the checks above; they throw as the constructor does. record()
    // is the key's record until the lock ends.
    SqliteTransaction lockForReading();
    SqliteTransaction lockForWriting();

    // Runs `read()` (which returns a Result) without the lock, its reads answered from the memo, when the
    // file is as it was at the last lock; std::nullopt when it is not, or when `read` needs what the memo
    // lacks: the caller then locks and reads. Whatever else `read` throws is its answer and passes on.
    template <typename Read> std::optional<int32_t> readUnlocked(Read&& read);
    // Lets readUnlocked() take the file as unchanged, without looking again, once it has found it so, until
    // forgetCheck(): for a caller that looks at a key several times in what is one call for its own caller.
    void trustCheckUntilForgotten() { trustCheck_ = true; }
    void forgetCheck() { foundUnchanged_ = false; }
    // Makes the next look at the file a full one rather than the watch's word, for a call that must see at
    // once what another process did even before the watch has taken its events.
    void lookInFullNextTime() {
        foundUnchanged_ = false;
        watchedSinceLook_ = false;
    }
    // Lets unchangedSinceMemo() ask `watch` (which outlives the key) instead of looking at the file when
    // nothing touched it; none looks every time.
    void watchWith(FolderWatch* watch) {
        watch_ = watch;
        watchedSinceLook_ = false;
    }

    const std::string& serial() const { return files_.serial(); }
    KeyDatabase& database() { return *database_; }
    const KeyRecord& record() const { return record_; }
    DiskImage diskImage() const { return DiskImage(files_.diskImage()); }

private:
    // What one stat tells of the database file: which file it is, and traces of every write to it.
    struct FileState {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};

        bool isSameFileAs(const FileState& other) const {
            return device == other.device && inode == other.inode;
        }
        bool looksUnchangedFrom(const FileState& other) const;
    };

    // Bytes 16 to 39 of the file's header: SQLite's file format (rollback journal or write-ahead log), then
    // the change counter, page count and free pages that every commit updates.
    static constexpr int kHeaderOffset = 16;
    using Header = std::array<uint8_t, 24>;

    static std::unique_ptr<KeyDatabase> openDatabase(const KeyFiles& files);
    SqliteTransaction lock(SqliteTransaction::Kind kind);
    // The database file in the device folder now; none when it is not there.
    std::optional<FileState> fileState() const;
    // Reads the key record again and checks that the file is this key's database of this version.
    void refresh();
    void forgetMemo();
    // The header as it is on disk now; none when it cannot be read or the database uses a write-ahead log.
    std::optional<Header> header();
    // True when the file is, by one stat and its header, exactly as at the lock that began the memo.
    bool unchangedSinceMemo();

    KeyFiles files_;
    std::unique_ptr<KeyDatabase> database_;
    // Set once a lock has found which file database_ holds open; file_ is that file as last seen.
    bool identified_ = false;
    FileState file_;
    // Set while record_ and dataVersion_ still describe the file; a write of this driver clears it.
    bool known_ = false;
    uint32_t dataVersion_ = 0;
    KeyRecord record_;
    // The header while the memo describes the file; none when it may not.
    std::optional<Header> memoHeader_;
    bool trustCheck_ = false;
    bool foundUnchanged_ = false; // by unchangedSinceMemo() since forgetCheck() or the last lock
    // Set when unchangedSinceMemo() last looked at the file and found it as at the lock: until watch_ sees a
    // change, the file is still so.
    bool watchedSinceLook_ = false;
    FolderWatch* watch_ = nullptr;
    std::string databaseName_; // the database's file name in the folder, as the watch names it
};

template <typename Read> std::optional<int32_t> PluggedKey::readUnlocked(Read&& read) {
    if (!(trustCheck_ && foundUnchanged_) && !(foundUnchanged_ = unchangedSinceMemo()))
        return std::nullopt;
    struct OnlyMemo {
        KeyDatabase& database;
        ~OnlyMemo() { database.setMemoMode(KeyDatabase::MemoMode::Off); }
    } onlyMemo{*database_};
    database_->setMemoMode(KeyDatabase::MemoMode::Only);
    try {
        return read();
    } catch (const KeyDatabase::NotKept&) {
        return std::nullopt;
    }
}

} // namespace quillard::softkey
