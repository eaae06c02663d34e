#include "device_path.h"

namespace platform {

namespace {

constexpr int kProductIdDigits = 4;
constexpr const char* kUsbDeviceClass = "{A5DCBF10-6530-11D2-901F-00C04FB951ED}";

QString fourHexDigits(int value) {
    return QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

int productIdFromDevicePath(const QString& path) {
    const QString upper = path.toUpper();
    const qsizetype marker = upper.indexOf(QLatin1String("PID_"));
    if (marker < 0)
        return 0;
    const QStringView digits = QStringView(upper).sliced(marker + 4).left(kProductIdDigits);
    if (digits.size() < kProductIdDigits)
        return 0;
    for (const QChar digit : digits) {
        const bool decimal = digit >= QLatin1Char('0') && digit <= QLatin1Char('9');
        if (!decimal && (digit < QLatin1Char('A') || digit > QLatin1Char('F')))
            return 0;
    }
    return digits.toInt(nullptr, 16);
}

QString usbDevicePath(int vendorId, int productId, const QString& serial) {
    return QStringLiteral("\\\\?\\USB#VID_%1&PID_%2#%3#%4")
        .arg(fourHexDigits(vendorId), fourHexDigits(productId), serial, QString::fromLatin1(kUsbDeviceClass));
}

} // namespace platform
