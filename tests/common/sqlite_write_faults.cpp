#include "sqlite_write_faults.h"

#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace sqlite_faults {

namespace {

constexpr int kKilledExit = 86;
constexpr int kFinishedExit = 0;

// What the child has done so far; only the child installs the VFS, so these are its own.
sqlite3_vfs* realVfs = nullptr;
int stepsTaken = 0;
int stopBefore = 0;
std::vector<WriteStep> stepsSeen;
std::string traceFile;

void writeTrace() {
    std::ofstream out(traceFile, std::ios::trunc);
    for (const WriteStep& step : stepsSeen)
        out << step.file << ' ' << step.action << ' ' << step.offset << ' ' << step.amount << '\n';
}

void step(const char* file, const char* action, long long offset = 0, long long amount = 0) {
    if (++stepsTaken == stopBefore) {
        writeTrace();
        _exit(kKilledExit);
    }
    stepsSeen.push_back({file, action, offset, amount});
}

struct TracedFile {
    sqlite3_file base;
    const char* kind; // "db" or "journal", null for files not followed
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

TracedFile* traced(sqlite3_file* file) {
    return reinterpret_cast<TracedFile*>(file);
}

int tracedClose(sqlite3_file* file) {
    return traced(file)->real()->pMethods->xClose(traced(file)->real());
}
int tracedRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    return traced(file)->real()->pMethods->xRead(traced(file)->real(), buffer, amount, offset);
}
int tracedWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
    if (traced(file)->kind)
        step(traced(file)->kind, "write", offset, amount);
    return traced(file)->real()->pMethods->xWrite(traced(file)->real(), buffer, amount, offset);
}
int tracedTruncate(sqlite3_file* file, sqlite3_int64 size) {
    if (traced(file)->kind)
        step(traced(file)->kind, "truncate", size);
    return traced(file)->real()->pMethods->xTruncate(traced(file)->real(), size);
}
int tracedSync(sqlite3_file* file, int flags) {
    if (traced(file)->kind)
        step(traced(file)->kind, "sync");
    return traced(file)->real()->pMethods->xSync(traced(file)->real(), flags);
}
int tracedFileSize(sqlite3_file* file, sqlite3_int64* size) {
    return traced(file)->real()->pMethods->xFileSize(traced(file)->real(), size);
}
int tracedLock(sqlite3_file* file, int level) {
    return traced(file)->real()->pMethods->xLock(traced(file)->real(), level);
}
int tracedUnlock(sqlite3_file* file, int level) {
    return traced(file)->real()->pMethods->xUnlock(traced(file)->real(), level);
}
int tracedCheckReservedLock(sqlite3_file* file, int* reserved) {
    return traced(file)->real()->pMethods->xCheckReservedLock(traced(file)->real(), reserved);
}
int tracedFileControl(sqlite3_file* file, int operation, void* argument) {
    return traced(file)->real()->pMethods->xFileControl(traced(file)->real(), operation, argument);
}
int tracedSectorSize(sqlite3_file* file) {
    return traced(file)->real()->pMethods->xSectorSize(traced(file)->real());
}
int tracedDeviceCharacteristics(sqlite3_file* file) {
    return traced(file)->real()->pMethods->xDeviceCharacteristics(traced(file)->real());
}

// Version 1 of the methods: no shared memory and no memory mapping, which the keys (rollback journal) do
// not use.
const sqlite3_io_methods kTracedMethods = {
    1,
    tracedClose,
    tracedRead,
    tracedWrite,
    tracedTruncate,
    tracedSync,
    tracedFileSize,
    tracedLock,
    tracedUnlock,
    tracedCheckReservedLock,
    tracedFileControl,
    tracedSectorSize,
    tracedDeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

const char* kindOf(int flags) {
    if (flags & SQLITE_OPEN_MAIN_DB)
        return "db";
    if (flags & SQLITE_OPEN_MAIN_JOURNAL)
        return "journal";
    return nullptr;
}

int tracedOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    TracedFile* wrapper = traced(file);
    wrapper->base.pMethods = nullptr;
    wrapper->kind = kindOf(flags);
    if (wrapper->kind && std::strcmp(wrapper->kind, "journal") == 0)
        step("journal", "open");
    int status = realVfs->xOpen(realVfs, name, wrapper->real(), flags, outFlags);
    if (wrapper->real()->pMethods)
        wrapper->base.pMethods = &kTracedMethods;
    return status;
}

int tracedDelete(sqlite3_vfs*, const char* name, int syncDirectory) {
    const std::size_t length = std::strlen(name);
    if (length > 8 && std::strcmp(name + length - 8, "-journal") == 0)
        step("journal", "delete");
    return realVfs->xDelete(realVfs, name, syncDirectory);
}

sqlite3_vfs tracedVfs;

void install() {
    realVfs = sqlite3_vfs_find(nullptr);
    tracedVfs = *realVfs;
    tracedVfs.iVersion = realVfs->iVersion;
    tracedVfs.szOsFile = static_cast<int>(sizeof(TracedFile)) + realVfs->szOsFile;
    tracedVfs.zName = "write-faults";
    tracedVfs.pNext = nullptr;
    tracedVfs.xOpen = tracedOpen;
    tracedVfs.xDelete = tracedDelete;
    sqlite3_vfs_register(&tracedVfs, 1);
}

std::vector<WriteStep> readTrace(const std::string& path) {
    std::vector<WriteStep> steps;
    std::ifstream in(path);
    WriteStep step;
    while (in >> step.file >> step.action >> step.offset >> step.amount)
        steps.push_back(step);
    return steps;
}

} // namespace

std::ostream& operator<<(std::ostream& out, const WriteStep& step) {
    return out << step.file << ' ' << step.action << ' ' << step.offset << '+' << step.amount;
}

ChildRun runInChild(int stopAt, const std::function<void()>& work) {
    char pattern[] = "/tmp/sqlite-faults-XXXXXX";
    const int descriptor = mkstemp(pattern);
    if (descriptor >= 0)
        close(descriptor);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        traceFile = pattern;
        stopBefore = stopAt;
        install();
        work();
        writeTrace();
        _exit(kFinishedExit);
    }
    ChildRun run;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.killed = WEXITSTATUS(status) == kKilledExit;
        run.finished = WEXITSTATUS(status) == kFinishedExit;
    }
    run.steps = readTrace(pattern);
    std::remove(pattern);
    return run;
}

} // namespace sqlite_faults
