#include "progress_bar.h"

#include "platform/terminal.h"

#include <algorithm>
#include <string>

namespace cli {

namespace {

constexpr int kWidth = 40;

} // namespace

ProgressBar::ProgressBar(std::ostream& err) : err_(err), visible_(platform::standardErrorIsTerminal()) {}

ProgressBar::~ProgressBar() {
    if (visible_ && shownPercent_ >= 0)
        err_ << "\n";
}

void ProgressBar::start(uint64_t total) {
    total_ = total;
    show(0);
}

void ProgressBar::show(uint64_t done) {
    if (!visible_)
        return;
    const int percent = total_ == 0 ? 100 : static_cast<int>(std::min<uint64_t>(done, total_) * 100 / total_);
    if (percent == shownPercent_)
        return;
    shownPercent_ = percent;
    const int filled = percent * kWidth / 100;
    err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << percent << "% "
         << std::min(done, total_) / 1024 << "/" << total_ / 1024 << " KiB" << std::flush;
}

} // namespace cli
