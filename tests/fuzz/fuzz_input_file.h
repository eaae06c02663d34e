// The fuzzed bytes as a file, for code that reads files: one file per fuzzing process, rewritten for every
// input, removed when the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

class FuzzInputFile {
public:
    explicit FuzzInputFile(const char* extension)
        : path_(std::string("/tmp/pellorzu-fuzz-") + std::to_string(::getpid()) + extension) {}
    ~FuzzInputFile() { std::remove(path_.c_str()); }

    // Writes `data` to the file and returns its path.
    const std::string& write(const uint8_t* data, std::size_t size) {
        FILE* file = std::fopen(path_.c_str(), "wb");
        if (!file || std::fwrite(data, 1, size, file) != size)
            std::abort();
        std::fclose(file);
        return path_;
    }

private:
    std::string path_;
};

// Stops the fuzzer with a finding when a promise of the code does not hold.
inline void require(bool holds) {
    if (!holds)
        std::abort();
}
