#include "key_guard.h"

#include "token/key_table.h"

#include <QEventLoop>
#include <QTimer>
#include <cstring>

namespace ui {

namespace {

std::string serialAt(int32_t slot) {
    const token::KeyTable& table = token::keyTable();
    if (slot < 0 || slot >= table.keyCount || slot >= token::kMaxKeysFound)
        return {};
    const char* serial = table.keys[slot].serial;
    return std::string(serial, strnlen(serial, sizeof table.keys[slot].serial));
}

} // namespace

KeyTicket KeyGuard::ticket(int32_t slot) const {
    return KeyTicket{slot, serialAt(slot), generation_};
}

bool KeyGuard::stillValid(const KeyTicket& ticket) const {
    return ticket.generation == generation_ && ticket.slot >= 0 && serialAt(ticket.slot) == ticket.serial;
}

void ProcessMessagesFor(int milliseconds) {
    if (milliseconds < 1)
        return;
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace ui
