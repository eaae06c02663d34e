#include "folder_watch.h"

#include <linux/magic.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace quillard::softkey {

namespace {

constexpr uint32_t kFileEvents =
    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr uint32_t kFolderEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

// Counts the forks of this process, so that a watch made before a fork knows it is in the child.
std::atomic<unsigned long> forkGeneration{0};

void countFork() {
    forkGeneration.fetch_add(1, std::memory_order_relaxed);
}

unsigned long currentForkGeneration() {
    static std::once_flag registered;
    std::call_once(registered, [] { pthread_atfork(nullptr, nullptr, countFork); });
    return forkGeneration.load(std::memory_order_relaxed);
}

// File systems whose inotify events cover every change to their files, made by any process.
bool isLocalFileSystem(const std::filesystem::path& folder, bool& missing) {
    struct statfs facts {};
    if (::statfs(folder.c_str(), &facts) != 0) {
        missing = errno == ENOENT;
        return false;
    }
    switch (static_cast<unsigned long>(facts.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case TMPFS_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

} // namespace

FolderWatch::FolderWatch(const std::filesystem::path& folder) : forkGeneration_(currentForkGeneration()) {
    if (!isLocalFileSystem(folder, missingFolder_))
        return;
    descriptor_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor_ < 0)
        return;
    if (::inotify_add_watch(descriptor_, folder.c_str(), kFileEvents | kFolderEvents | IN_ONLYDIR) < 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

FolderWatch::~FolderWatch() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

bool FolderWatch::usable() const {
    return descriptor_ >= 0 && !broken_ && forkGeneration_ == forkGeneration.load(std::memory_order_relaxed);
}

bool FolderWatch::stale() const {
    return broken_ || missingFolder_ || forkGeneration_ != forkGeneration.load(std::memory_order_relaxed);
}

bool FolderWatch::sawChange(const std::string& fileName) {
    if (!usable())
        return true;
    auto [entry, firstQuestion] = touched_.try_emplace(fileName, true);
    takeEvents();
    const bool touched = entry->second || !usable();
    entry->second = false;
    return touched || firstQuestion;
}

void FolderWatch::takeEvents() {
    alignas(inotify_event) char events[4096];
    for (;;) {
        const long length = ::read(descriptor_, events, sizeof events);
        if (length <= 0) {
            if (length == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                broken_ = true;
            if (length < 0 && errno == EINTR)
                continue;
            return;
        }
        for (long at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            at += static_cast<long>(sizeof(inotify_event) + event->len);
            if (event->mask & kFolderEvents)
                broken_ = true;
            else if (event->mask & IN_Q_OVERFLOW)
                markAll();
            else if (auto found = event->len > 0 ? touched_.find(event->name) : touched_.end();
                     found != touched_.end())
                found->second = true;
        }
    }
}

void FolderWatch::markAll() {
    for (auto& [name, touched] : touched_)
        touched = true;
}

} // namespace quillard::softkey
