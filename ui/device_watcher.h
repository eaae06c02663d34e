// TUSB, the device watcher: tells the main window when a USB device is plugged in or pulled out and which
// product id it carries. Two sources feed it: a libudev monitor for real keys and a watch on the virtual-key
// device folder (whose device paths the token library gives). Each event's device path goes through the one
// product-id parser, then the arrival or removal event runs. The events run on the window's thread.
#pragma once

#include "platform/device_event.h"

#include <QObject>
#include <cstdint>
#include <functional>

namespace platform {
class UdevDeviceSource;
class VirtualKeyFolderWatch;
} // namespace platform

class TUSB : public QObject {
    Q_OBJECT
public:
    using DeviceEventHandler = std::function<void(TUSB& watcher)>;

    // Opens both sources: the virtual keys plugged in now are noted without events.
    explicit TUSB(QObject* parent = nullptr);
    ~TUSB() override;

    // Called after a device arrival / removal; may be unset.
    DeviceEventHandler OnDeviceArrival;
    DeviceEventHandler OnDeviceRemoval;
    // The product id of the device of the latest event; 0 when its path yields none.
    int32_t ProductId = 0;

    // The source of real USB devices; tests feed recorded events into it.
    platform::UdevDeviceSource& udevSource() const { return *udev_; }
    platform::VirtualKeyFolderWatch& virtualKeySource() const { return *virtualKeys_; }

private:
    void deviceChanged(const platform::DeviceEvent& event);

    platform::UdevDeviceSource* udev_;
    platform::VirtualKeyFolderWatch* virtualKeys_;
};
