// Keeps every key operation on the key it started with. Message boxes, dialogs and the waits of long key work
// run nested event loops in which timers keep ticking, and a rescan there re-indexes the keys. Every scan
// raises the scan generation; an operation takes a ticket (slot, serial, generation) before its first
// question or dialog and checks it after every nested loop, stopping silently when the key it noted is no
// longer the one at that slot. While a worker or a loop is using a key the guard is held: the timer ticks
// that scan, check or register keys return at once (their timers keep running, so they come back after it
// ends).
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// The key an operation started on.
struct KeyTicket {
    int32_t slot = -1;
    std::string serial;
    uint64_t generation = 0;
};

class KeyGuard {
public:
    // Called by every key scan before it touches the key table.
    void scanStarted() { ++generation_; }
    uint64_t generation() const { return generation_; }

    // A ticket for the key at `slot` as the key table has it now.
    KeyTicket ticket(int32_t slot) const;
    // True while the key table still holds the ticket's key at the ticket's slot and no scan ran since.
    bool stillValid(const KeyTicket& ticket) const;

    // True while an operation holds a key.
    bool busy() const { return holds_ > 0; }

    // Holds the guard while it lives.
    class Hold {
    public:
        explicit Hold(KeyGuard& guard) : guard_(guard) { ++guard_.holds_; }
        ~Hold() { --guard_.holds_; }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        KeyGuard& guard_;
    };

private:
    uint64_t generation_ = 0;
    int holds_ = 0;
};

// Runs the window's event loop for `milliseconds` without user input, so the window repaints and timers tick
// while nothing the user does can start another operation. Returns at once for less than 1 ms.
void ProcessMessagesFor(int milliseconds);

} // namespace ui
