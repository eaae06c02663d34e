// A USB device coming or going, as every device event source of the program reports it.
#pragma once

#include <QString>

namespace platform {

enum class DeviceAction { Arrival, Removal };

struct DeviceEvent {
    DeviceAction action = DeviceAction::Arrival;
    QString devicePath; // \\?\USB#VID_vvvv&PID_pppp#serial#{class}
};

} // namespace platform
