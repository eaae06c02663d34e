// TUSB, the device watcher: tells the main window when a USB device is plugged in or pulled out and which
// product id it carries. Two sources feed it: a libudev monitor for real keys and a watch on the virtual-key
// device folder (whose device paths the token library gives). Each event's device path goes through the one
// product-id parser, then the arrival or removal event runs. A third source polls the slot lists of the
// PKCS#11 modules and runs the token change event when a token came or went. The events run on the window's
// thread.
#pragma once

#include "platform/device_event.h"

#include <QObject>
#include <cstdint>
#include <functional>

namespace platform {
class TokenSlotPoll;
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
    // Called when a PKCS#11 token was inserted or removed; may be unset.
    DeviceEventHandler OnTokensChanged;
    // Has the library asked whether tokens came or went, off the window thread, and calls its argument with
    // the answer on the window thread; asks nothing while the library may not be asked. Unset: never asked.
    std::function<void(std::function<void(bool)> answer)> PollTokens;
    // The product id of the device of the latest event; 0 when its path yields none.
    int32_t ProductId = 0;

    // The source of real USB devices; tests feed recorded events into it.
    platform::UdevDeviceSource& udevSource() const { return *udev_; }
    platform::VirtualKeyFolderWatch& virtualKeySource() const { return *virtualKeys_; }
    platform::TokenSlotPoll& tokenSource() const { return *tokens_; }

private:
    void deviceChanged(const platform::DeviceEvent& event);
    void run(const DeviceEventHandler& handler);

    platform::UdevDeviceSource* udev_;
    platform::VirtualKeyFolderWatch* virtualKeys_;
    platform::TokenSlotPoll* tokens_;
};
