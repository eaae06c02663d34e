// Preloaded into the window program by startup_compare.sh: notes when the window is shown and when the first
// key scan ends (the key information of the last key found, or the search itself when it found none), then
// prints both, in milliseconds since the program was loaded, and the most memory the process held, and ends
// the process. Only the library's exported scan calls and QWidget::show are looked at, so the same probe
// measures any build of the program.
#include "token/lib/quillard.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

class QWidget;

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point loaded = Clock::now();
std::atomic<double> shownAt{-1};
std::atomic<double> scanEndedAt{-1};
std::atomic<int32_t> keysFound{-1};
std::atomic<bool> reporting{false};

double sinceLoaded() {
    return std::chrono::duration<double, std::milli>(Clock::now() - loaded).count();
}

std::string peakMemory() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::to_string(std::stol(line.substr(6)));
    return "?";
}

// Once the scan ended, the program is given a moment (its own later work does not count) and then ended.
void reportSoon() {
    if (reporting.exchange(true))
        return;
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        std::printf("shown %.1f ms, first scan ended %.1f ms, keys %d, peak memory %s kB\n", shownAt.load(),
                    scanEndedAt.load(), keysFound.load(), peakMemory().c_str());
        std::fflush(stdout);
        _exit(0);
    }).detach();
}

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int32_t token_find(int32_t* list, int32_t* count) {
    static const auto real = next<int32_t (*)(int32_t*, int32_t*)>("token_find");
    const int32_t result = real(list, count);
    if (keysFound.load() < 0) {
        keysFound = (result == 0 && count) ? *count : 0;
        if (keysFound.load() == 0) {
            scanEndedAt = sinceLoaded();
            reportSoon();
        }
    }
    return result;
}

extern "C" int32_t token_get_info(int32_t idx, char* serial, char* label, char* manufacturer, char* model,
                                  int32_t* max_pin_len, int32_t* min_pin_len, int32_t* max_so_pin_len,
                                  int32_t* min_so_pin_len, int32_t* total_memory, int32_t* free_memory,
                                  int32_t* hardware_version, int32_t* firmware_version,
                                  int32_t* initialised) {
    static const auto real = next<decltype(&token_get_info)>("token_get_info");
    const int32_t result =
        real(idx, serial, label, manufacturer, model, max_pin_len, min_pin_len, max_so_pin_len,
             min_so_pin_len, total_memory, free_memory, hardware_version, firmware_version, initialised);
    if (!reporting.load() && idx == keysFound.load() - 1) {
        scanEndedAt = sinceLoaded();
        reportSoon();
    }
    return result;
}

// QWidget::show(), called by the program's start on its main window.
extern "C" void _ZN7QWidget4showEv(QWidget* widget) {
    static const auto real = next<void (*)(QWidget*)>("_ZN7QWidget4showEv");
    if (shownAt.load() < 0)
        shownAt = sinceLoaded();
    real(widget);
}
