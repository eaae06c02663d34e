// Real USB devices plugged in and pulled out, from a libudev monitor on the "udev" netlink source (events
// after udev has processed the device, with its properties), filtered to subsystem "usb" and device type
// "usb_device" so there is one event per device and none per interface. The monitor's socket is watched on
// the thread that creates the source, and every queued device is read at each activation. Where no udev runs
// (containers, CI) the monitor stays silent; a monitor that cannot be opened raises nothing and reports
// nothing.
#pragma once

#include "device_event.h"

#include <QMap>
#include <QObject>
#include <QString>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace platform {

class UdevDeviceSource : public QObject {
    Q_OBJECT
public:
    // The properties of one udev event by name (ACTION, SUBSYSTEM, DEVTYPE, ID_VENDOR_ID, PRODUCT, ...).
    using Properties = QMap<QString, QString>;

    // `openMonitor` false builds a source without a monitor, fed only through deliver().
    explicit UdevDeviceSource(bool openMonitor, QObject* parent = nullptr);
    ~UdevDeviceSource() override;

    // True while the monitor is open.
    bool monitoring() const { return monitor_ != nullptr; }
    // Handles one event as the monitor would: "add" raises an arrival and "remove" a removal of a USB device;
    // other actions (bind, change, ...), other subsystems and USB interfaces raise nothing. Recorded events
    // reach the program's code this way in tests.
    void deliver(const Properties& properties);

    // The device-interface path for the properties of a USB device: vendor and product from ID_VENDOR_ID and
    // ID_MODEL_ID, or from PRODUCT ("vid/pid/bcd", lower-case hexadecimal) when those are missing; the serial
    // from ID_SERIAL_SHORT.
    static QString devicePathOf(const Properties& properties);

signals:
    void deviceChanged(const platform::DeviceEvent& event);

private:
    void openMonitor();
    void readQueuedDevices();

    struct udev* udev_ = nullptr;
    struct udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace platform
