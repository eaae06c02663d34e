// Kills at chosen writes of SQLite, for tests of what a crash leaves behind. A SQLite VFS over the default
// one sees every step that changes a database or its journal (creating the journal, each write, truncate and
// sync, deleting the journal) and can end the process right before a chosen one, as a kill or a power cut
// there would. The work runs in a child process, so the test itself lives on and looks at the files.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace sqlite_faults {

// One step that changes a file: which file ("db" or "journal"), what ("open", "write", "truncate", "sync",
// "delete"), and where (offset and bytes of a write, size of a truncate).
struct WriteStep {
    std::string file;
    std::string action;
    long long offset = 0;
    long long amount = 0;

    bool operator==(const WriteStep&) const = default;
};

// For test failure messages: "journal write 512+4096".
std::ostream& operator<<(std::ostream& out, const WriteStep& step);

struct ChildRun {
    bool killed = false;          // ended before its `stopAt`-th step
    bool finished = false;        // `work` returned and the child exited normally
    std::vector<WriteStep> steps; // the steps it made (all of them when it finished)
};

// Runs `work` in a child process whose database steps are counted from the start; the child is ended right
// before its `stopAt`-th step (1 for the first; 0 never). The parent must hold no database open that the
// child uses, as SQLite connections do not survive a fork.
ChildRun runInChild(int stopAt, const std::function<void()>& work);

} // namespace sqlite_faults
