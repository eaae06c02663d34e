// A progress bar on the terminal: one line on standard error, redrawn in place, only when standard error is
// a terminal (scripts and logs get no control characters).
#pragma once

#include <cstdint>
#include <ostream>

namespace cli {

class ProgressBar {
public:
    explicit ProgressBar(std::ostream& err);
    ~ProgressBar();

    void start(uint64_t total);
    void show(uint64_t done);

private:
    std::ostream& err_;
    bool visible_;
    uint64_t total_ = 0;
    int shownPercent_ = -1;
};

} // namespace cli
