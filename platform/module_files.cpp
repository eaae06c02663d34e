#include "module_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

constexpr int kVersionNumbers = 4;

} // namespace

QStringList registeredModules(const HostSources& sources) {
    QStringList names;
    for (const QString& folder : sources.moduleConfigFolders) {
        const QStringList files =
            QDir(folder).entryList({QStringLiteral("*.module")}, QDir::Files, QDir::Name);
        for (const QString& file : files) {
            const QString name = file.chopped(int(sizeof(".module") - 1));
            if (!names.contains(name))
                names << name;
        }
    }
    return names;
}

QString moduleFilePath(const QString& folder, const QString& name) {
    const QString asGiven = folder + QLatin1Char('/') + name;
    if (QFileInfo(asGiven).isFile())
        return asGiven;
    const QString withSo =
        folder + QLatin1Char('/') + QFileInfo(name).completeBaseName() + QStringLiteral(".so");
    return QFileInfo(withSo).isFile() ? withSo : asGiven;
}

QString fileVersionText(const QString& path) {
    std::error_code failure;
    const std::filesystem::path real =
        std::filesystem::canonical(QFile::encodeName(path).toStdString(), failure);
    // Links that lead round in a circle are a failure to read; a missing file or a dangling link has no
    // version.
    if (failure)
        return failure == std::errc::too_many_symbolic_link_levels ? QStringLiteral("-1") : QString();
    static const QRegularExpression versioned(QStringLiteral("\\.so\\.(\\d+(?:\\.\\d+)*)$"));
    const QRegularExpressionMatch match = versioned.match(QString::fromStdString(real.filename().string()));
    if (!match.hasMatch())
        return {};
    QStringList numbers = match.captured(1).split(QLatin1Char('.')).mid(0, kVersionNumbers);
    while (numbers.size() < kVersionNumbers)
        numbers << QStringLiteral("0");
    return numbers.join(QLatin1Char('.'));
}

} // namespace platform
