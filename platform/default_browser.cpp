#include "default_browser.h"

#include "key_value_file.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace platform {

namespace {

constexpr int kStopWaitMs = 1000;
const char* const kSchemes[] = {"x-scheme-handler/https", "x-scheme-handler/http"};

// The first desktop entry of the first mimeapps.list that names a default for the scheme.
QString defaultEntryName(const HostSources& sources) {
    for (const char* scheme : kSchemes) {
        for (const QString& list : sources.mimeappsFiles) {
            const QString entries =
                keyFileValue(list, QStringLiteral("Default Applications"), QString::fromLatin1(scheme));
            const QString first = entries.section(QLatin1Char(';'), 0, 0).trimmed();
            if (!first.isEmpty())
                return first;
        }
    }
    return {};
}

QString entryPath(const HostSources& sources, const QString& entryName) {
    for (const QString& folder : sources.applicationFolders) {
        const QString path = folder + QLatin1Char('/') + entryName;
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

// The program of an Exec line: its first word, quotes undone.
QString execProgram(const QString& exec) {
    const QStringList words = QProcess::splitCommand(exec);
    return words.isEmpty() ? QString() : words.first();
}

BrowserFacts fromDesktopEntry(const QString& path, int timeoutMs) {
    const QString group = QStringLiteral("Desktop Entry");
    BrowserFacts facts;
    facts.name = keyFileValue(path, group, QStringLiteral("Name"));
    const QString program = execProgram(keyFileValue(path, group, QStringLiteral("Exec")));
    if (!program.isEmpty())
        facts.version = programVersion(program, timeoutMs);
    return facts;
}

BrowserFacts fromBrowserCommand(const HostSources& sources) {
    const QString program = QStandardPaths::findExecutable(sources.fallbackBrowser);
    if (program.isEmpty())
        return {};
    const QString target = QFileInfo(program).canonicalFilePath();
    return {QFileInfo(target.isEmpty() ? program : target).fileName(),
            programVersion(program, sources.versionTimeoutMs)};
}

} // namespace

BrowserFacts defaultBrowser(const HostSources& sources) {
    const QString entry = defaultEntryName(sources);
    if (const QString path = entry.isEmpty() ? QString() : entryPath(sources, entry); !path.isEmpty())
        return fromDesktopEntry(path, sources.versionTimeoutMs);
    return fromBrowserCommand(sources);
}

QString programVersion(const QString& program, int timeoutMs) {
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {QStringLiteral("--version")});
    if (!process.waitForStarted(timeoutMs))
        return {};
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(kStopWaitMs);
        return {};
    }
    static const QRegularExpression dottedNumber(QStringLiteral("\\d+(?:\\.\\d+)+"));
    return dottedNumber.match(QString::fromLocal8Bit(process.readAll())).captured();
}

} // namespace platform
