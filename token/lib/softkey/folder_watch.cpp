#include "folder_watch.h"

#include <linux/magic.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

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

// Changes this process made to keys through the library, counted by noteChangeHere().
std::atomic<unsigned long> localChanges{0};

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

FolderWatch::FolderWatch(const std::filesystem::path& folder, Taking taking)
    : forkGeneration_(currentForkGeneration()),
      localChangesSeen_(localChanges.load(std::memory_order_acquire)) {
    if (!isLocalFileSystem(folder, missingFolder_))
        return;
    descriptor_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor_ < 0)
        return;
    if (::inotify_add_watch(descriptor_, folder.c_str(), kFileEvents | kFolderEvents | IN_ONLYDIR) < 0) {
        ::close(descriptor_);
        descriptor_ = -1;
        return;
    }
    if (taking == Taking::OnItsOwnThread)
        startThread();
}

FolderWatch::~FolderWatch() {
    if (thread_) {
        if (forkGeneration_ == forkGeneration.load(std::memory_order_relaxed)) {
            const uint64_t stop = 1;
            [[maybe_unused]] ssize_t written = ::write(stopDescriptor_, &stop, sizeof stop);
            thread_->join();
        } else {
            // A forked child has no such thread to join: its handle is left as it is.
            [[maybe_unused]] std::thread* inherited = thread_.release();
        }
    }
    if (stopDescriptor_ >= 0)
        ::close(stopDescriptor_);
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

void FolderWatch::noteChangeHere() {
    localChanges.fetch_add(1, std::memory_order_acq_rel);
}

void FolderWatch::startThread() {
    stopDescriptor_ = ::eventfd(0, EFD_CLOEXEC);
    if (stopDescriptor_ < 0)
        return;
    // The thread takes no signal: they stay with the threads of the program that loaded the library.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
        thread_ = std::make_unique<std::thread>([this] { waitForEvents(); });
    } catch (const std::system_error&) {
        // No thread to be had: the events are taken at each question instead.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void FolderWatch::waitForEvents() {
    pollfd waited[2] = {{descriptor_, POLLIN, 0}, {stopDescriptor_, POLLIN, 0}};
    while (!broken_.load(std::memory_order_relaxed)) {
        if (::poll(waited, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            broken_ = true;
            return;
        }
        if (waited[1].revents != 0)
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        takeEvents();
    }
}

bool FolderWatch::usable() const {
    return descriptor_ >= 0 && !broken_.load(std::memory_order_acquire) &&
           forkGeneration_ == forkGeneration.load(std::memory_order_relaxed);
}

bool FolderWatch::stale() const {
    return broken_.load(std::memory_order_acquire) || missingFolder_ ||
           forkGeneration_ != forkGeneration.load(std::memory_order_relaxed);
}

bool FolderWatch::sawChange(const std::string& fileName) {
    if (!usable())
        return true;
    std::lock_guard<std::mutex> lock(mutex_);
    auto [entry, firstQuestion] = touched_.try_emplace(fileName, true);
    if (!thread_)
        takeEvents();
    if (const unsigned long changes = localChanges.load(std::memory_order_acquire);
        changes != localChangesSeen_) {
        localChangesSeen_ = changes;
        markAll();
    }
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
