#include "udev_device_source.h"

#include "device_path.h"

#include <QSocketNotifier>
#include <libudev.h>

namespace platform {

namespace {

constexpr const char* kSubsystem = "usb";
constexpr const char* kDeviceType = "usb_device";

UdevDeviceSource::Properties propertiesOf(struct udev_device* device) {
    UdevDeviceSource::Properties properties;
    for (struct udev_list_entry* entry = udev_device_get_properties_list_entry(device); entry;
         entry = udev_list_entry_get_next(entry)) {
        properties.insert(QString::fromUtf8(udev_list_entry_get_name(entry)),
                          QString::fromUtf8(udev_list_entry_get_value(entry)));
    }
    return properties;
}

// A hexadecimal id of at most four digits; -1 otherwise.
int hexId(const QString& text) {
    bool isNumber = false;
    const int value = text.toInt(&isNumber, 16);
    return isNumber && text.size() <= 4 && value >= 0 ? value : -1;
}

} // namespace

UdevDeviceSource::UdevDeviceSource(bool openMonitor, QObject* parent) : QObject(parent) {
    if (openMonitor)
        this->openMonitor();
}

UdevDeviceSource::~UdevDeviceSource() {
    delete notifier_;
    if (monitor_)
        udev_monitor_unref(monitor_);
    if (udev_)
        udev_unref(udev_);
}

void UdevDeviceSource::openMonitor() {
    udev_ = udev_new();
    if (!udev_)
        return;
    struct udev_monitor* monitor = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor)
        return;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, kSubsystem, kDeviceType) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        udev_monitor_unref(monitor);
        return;
    }
    monitor_ = monitor;
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &UdevDeviceSource::readQueuedDevices);
}

void UdevDeviceSource::readQueuedDevices() {
    // The socket is non-blocking: receiving ends when the queue is empty.
    while (struct udev_device* device = udev_monitor_receive_device(monitor_)) {
        const Properties properties = propertiesOf(device);
        udev_device_unref(device);
        deliver(properties);
    }
}

void UdevDeviceSource::deliver(const Properties& properties) {
    if (properties.value(QStringLiteral("SUBSYSTEM")) != QLatin1String(kSubsystem) ||
        properties.value(QStringLiteral("DEVTYPE")) != QLatin1String(kDeviceType))
        return;
    const QString action = properties.value(QStringLiteral("ACTION"));
    DeviceEvent event;
    if (action == QLatin1String("add"))
        event.action = DeviceAction::Arrival;
    else if (action == QLatin1String("remove"))
        event.action = DeviceAction::Removal;
    else
        return;
    event.devicePath = devicePathOf(properties);
    emit deviceChanged(event);
}

QString UdevDeviceSource::devicePathOf(const Properties& properties) {
    int vendor = hexId(properties.value(QStringLiteral("ID_VENDOR_ID")));
    int product = hexId(properties.value(QStringLiteral("ID_MODEL_ID")));
    if (vendor < 0 || product < 0) {
        const QStringList parts = properties.value(QStringLiteral("PRODUCT")).split(QLatin1Char('/'));
        vendor = parts.size() >= 2 ? hexId(parts[0]) : -1;
        product = parts.size() >= 2 ? hexId(parts[1]) : -1;
    }
    const QString serial = properties.value(QStringLiteral("ID_SERIAL_SHORT"));
    // A device whose ids cannot be read gets no path, so it reads as product 0.
    if (vendor < 0 || product < 0)
        return {};
    return usbDevicePath(vendor, product, serial);
}

} // namespace platform
