#include "os_version.h"

#include "key_value_file.h"

#include <QFileInfo>

namespace platform {

namespace {

QString osReleaseValue(const QString& path, const char* key) {
    return unquotedShellValue(keyFileValue(path, QString(), QString::fromLatin1(key)));
}

QString distributionName(const HostSources& sources) {
    for (const QString& path : sources.osReleaseFiles) {
        if (!QFileInfo(path).isFile())
            continue;
        if (const QString pretty = osReleaseValue(path, "PRETTY_NAME"); !pretty.isEmpty())
            return pretty;
        const QString name = osReleaseValue(path, "NAME");
        const QString version = osReleaseValue(path, "VERSION");
        if (!name.isEmpty())
            return version.isEmpty() ? name : name + QLatin1Char(' ') + version;
        break;
    }
    return QStringLiteral("Linux");
}

} // namespace

QString osVersionText(const HostSources& sources) {
    const QString name = distributionName(sources);
    const QString kernel = sources.kernelRelease ? sources.kernelRelease() : QString();
    return kernel.isEmpty() ? name : name + QStringLiteral(" (Kernel ") + kernel + QLatin1Char(')');
}

} // namespace platform
