// Tells whether a file of the keys folder may have changed since the last time it was asked about that file:
// one inotify watch on the folder, whose events are sorted by the file they name (written, attributes
// changed, created, deleted, moved in or out). Checking a key's database by stat and a read of its header
// takes two system calls; a key signed with thousands of times a second through the module does that twice
// per signature, so the watch lets it do the full check only after something happened.
//
// The events are taken either at each question (one read of the watch, a system call) or by a thread of
// the watch's own that waits for them, so that a question costs no system call at all. On its own thread, a
// change made by another process is seen as soon as that thread has taken its event, microseconds later
// (as a reader notices a card pulled out); a change made to a key through this copy of the library (a commit
// to a key's database, a key's files moved or deleted: noteChangeHere()) is seen at the very next question.
// (A program that links the library and loads the module too holds two copies, each with its own count.)
//
// The watch is only trusted where it sees every change: on local file systems (a network file system reports
// only what this machine did), and not in a child process that inherited it by fork (parent and child would
// take each other's events, and the child has no thread). Where it is not, usable() is false and sawChange()
// always says yes. The caller serialises its questions (the driver's lock).
#pragma once

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quillard::softkey {

class FolderWatch {
public:
    enum class Taking { AtEachQuestion, OnItsOwnThread };

    // Without a thread when `taking` asks for none or none can be started.
    FolderWatch(const std::filesystem::path& folder, Taking taking);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Counts a change made to a key's files through this copy of the library: every watch then says yes to
    // its next question about any file, whether or not its thread has taken the events yet.
    static void noteChangeHere();

    // False when the watch could not be set up or cannot be trusted in this process.
    bool usable() const;
    // True when a new watch would do better: this one was inherited by fork, or its folder went away or was
    // not there yet.
    bool stale() const;
    // True when events are taken on the watch's own thread.
    bool hasThread() const { return thread_ != nullptr; }
    // True when one of the events taken since the last call may concern `fileName` since it was last asked
    // about, when events were lost, when a key was changed through this copy of the library since, or when
    // the watch is not usable.
    // The first question about a file says yes.
    bool sawChange(const std::string& fileName);

private:
    void startThread();
    void waitForEvents();
    // Reads the events waiting (without blocking) and marks the files they name; the caller holds mutex_.
    void takeEvents();
    void markAll();

    int descriptor_ = -1;
    int stopDescriptor_ = -1; // written to end the thread
    unsigned long forkGeneration_ = 0;
    bool missingFolder_ = false;
    std::atomic<bool> broken_{false}; // the folder itself went away or was moved: the watch no longer sees it
    std::mutex mutex_;                // over touched_ and localChangesSeen_, shared with the thread
    std::map<std::string, bool> touched_; // by file name, for every file asked about
    unsigned long localChangesSeen_ = 0;
    std::unique_ptr<std::thread> thread_;
};

} // namespace quillard::softkey
