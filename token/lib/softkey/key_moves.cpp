#include "key_moves.h"

#include "key_files.h"
#include "token/lib/paths.h"
#include "token/lib/private_files.h"
#include "token/lib/quillard_errors.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillard::softkey {

KeyMoveLock::KeyMoveLock(const std::filesystem::path& unpluggedFolder, bool wait) {
    if (makePrivateFolder(unpluggedFolder) != QR_OK)
        return;
    const std::filesystem::path file = unpluggedFolder / ".moves.lock";
    descriptor_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor_ < 0)
        return;
    int result = 0;
    do
        result = ::flock(descriptor_, LOCK_EX | (wait ? 0 : LOCK_NB));
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

KeyMoveLock::~KeyMoveLock() {
    if (descriptor_ >= 0)
        ::close(descriptor_); // closing releases the lock
}

std::filesystem::path KeyMoves::unpluggedFolderBeside(const std::filesystem::path& keysFolder) {
    return keysFolder.parent_path() / unpluggedKeysFolder().filename();
}

void KeyMoves::repair() const {
    bringDiskImagesToDatabases(keysFolder_, unpluggedFolder_);
    bringDiskImagesToDatabases(unpluggedFolder_, keysFolder_);
    removeStagingLeftovers();
}

void KeyMoves::repairIfIdle() const {
    std::error_code error;
    if (!std::filesystem::is_directory(unpluggedFolder_, error))
        return; // no key was ever unplugged or created here, so no move can be half done
    KeyMoveLock lock(unpluggedFolder_, false);
    if (lock.held())
        repair();
}

// A database without its disk image whose image sits in the other folder: one rename of the pair is missing.
// Unplugging moves the database first and plugging moves the image first, so in both cases the database shows
// where the key was going (unplug) or still is (plug), and the image joins it.
void KeyMoves::bringDiskImagesToDatabases(const std::filesystem::path& folder,
                                          const std::filesystem::path& otherFolder) const {
    for (const std::string& serial : KeyFiles::serialsIn(folder)) {
        KeyFiles here(folder, serial);
        KeyFiles there(otherFolder, serial);
        std::error_code error;
        if (!std::filesystem::exists(here.diskImage(), error) && !there.exist() &&
            std::filesystem::is_regular_file(there.diskImage(), error))
            std::filesystem::rename(there.diskImage(), here.diskImage(), error);
    }
}

void KeyMoves::removeStagingLeftovers() const {
    std::error_code error;
    std::filesystem::remove_all(stagingFolder(), error);
}

} // namespace quillard::softkey
