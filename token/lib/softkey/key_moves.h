// Plugging in and pulling out a virtual key move its two files between the device folder and the unplugged
// folder with two renames, and a new key is built in a staging folder first. A process killed between the two
// renames leaves the database in one folder and the disk image in the other; one killed while building leaves
// files in the staging folder. Every move happens under one lock file, so when the lock is free such a state
// can only be a leftover, and repair() puts it right: the disk image follows its database, staging leftovers
// are removed.
#pragma once

#include <filesystem>
#include <utility>

namespace quillard::softkey {

class KeyMoveLock {
public:
    // Holds the move lock of the keys kept beside `unpluggedFolder`, waiting for it when `wait` is set.
    KeyMoveLock(const std::filesystem::path& unpluggedFolder, bool wait);
    ~KeyMoveLock();
    KeyMoveLock(KeyMoveLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    KeyMoveLock(const KeyMoveLock&) = delete;
    KeyMoveLock& operator=(const KeyMoveLock&) = delete;

    bool held() const { return descriptor_ >= 0; }

private:
    int descriptor_ = -1;
};

class KeyMoves {
public:
    KeyMoves(std::filesystem::path keysFolder, std::filesystem::path unpluggedFolder)
        : keysFolder_(std::move(keysFolder)), unpluggedFolder_(std::move(unpluggedFolder)) {}

    // The unplugged folder that goes with a device folder: its sibling, as in paths.h.
    static std::filesystem::path unpluggedFolderBeside(const std::filesystem::path& keysFolder);
    // Where create() builds new keys.
    std::filesystem::path stagingFolder() const { return unpluggedFolder_ / ".new"; }

    // Finishes or undoes half-done moves and removes staging leftovers; the caller holds the move lock.
    void repair() const;
    // repair() when no other process is moving a key right now; otherwise nothing, since that process is
    // about to finish its own move.
    void repairIfIdle() const;

private:
    void bringDiskImagesToDatabases(const std::filesystem::path& folder,
                                    const std::filesystem::path& otherFolder) const;
    void removeStagingLeftovers() const;

    std::filesystem::path keysFolder_;
    std::filesystem::path unpluggedFolder_;
};

} // namespace quillard::softkey
