// Tells, with one system call, whether a file of the keys folder may have changed since the last time it was
// asked about that file: one inotify watch on the folder, whose events are sorted by the file they name
// (written, attributes changed, created, deleted, moved in or out). Checking a key's database by stat and a
// read of its header takes two system calls; a key signed with thousands of times a second through the
// module does that twice per signature, so the watch lets it do the full check only after something happened.
//
// The watch is only trusted where it sees every change: on local file systems (a network file system reports
// only what this machine did), and not in a child process that inherited it by fork (parent and child would
// take each other's events). Where it is not, usable() is false and sawChange() always says yes. The caller
// serialises calls (the driver's lock).
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace quillard::softkey {

class FolderWatch {
public:
    explicit FolderWatch(const std::filesystem::path& folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // False when the watch could not be set up or cannot be trusted in this process.
    bool usable() const;
    // True when a new watch would do better: this one was inherited by fork, or its folder went away or was
    // not there yet.
    bool stale() const;
    // Takes the events that arrived since the last call; true when one of them may concern `fileName` since
    // it was last asked about, when events were lost, or when the watch is not usable. The first question
    // about a file says yes.
    bool sawChange(const std::string& fileName);

private:
    void takeEvents();
    void markAll();

    int descriptor_ = -1;
    unsigned long forkGeneration_ = 0;
    bool missingFolder_ = false;
    bool broken_ = false; // the folder itself went away or was moved: the watch no longer sees its files
    std::map<std::string, bool> touched_; // by file name, for every file asked about
};

} // namespace quillard::softkey
