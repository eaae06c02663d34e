#include "init_config.h"

#include "platform/ini_file.h"
#include "platform/secure_wipe.h"

namespace {

const QString section = QStringLiteral("InitData");

constexpr qint32 defaultRetryTimes = 10;
constexpr qint32 defaultMinPinLength = 4;
constexpr qint32 defaultMaxPinLength = 32;

QByteArray readText(const platform::IniFile& ini, const QString& key) {
    return ini.readString(section, key).toLocal8Bit();
}

platform::SecretBytes readSecret(const platform::IniFile& ini, const QString& key) {
    QString text = ini.readString(section, key);
    platform::SecretBytes secret(text.toLocal8Bit());
    platform::secureWipe(text);
    return secret;
}

qint32 readCount(const platform::IniFile& ini, const QString& key, qint32 defaultValue) {
    return ini.readNumber(section, key).value_or(defaultValue);
}

QString secretText(const platform::SecretBytes& secret) {
    return QString::fromLocal8Bit(secret.bytes());
}

} // namespace

int ReadInitConfig(const QString& path, TZartoBaseInfo& baseInfo) {
    const platform::IniFile ini = platform::IniFile::load(path);
    if (!ini.exists())
        return 1;
    baseInfo.LabelName = ini.readString(section, QStringLiteral("LabelName"));
    baseInfo.manufacture = readText(ini, QStringLiteral("manufacture"));
    baseInfo.Issuer = readText(ini, QStringLiteral("Issuer"));
    baseInfo.default_sopin = readSecret(ini, QStringLiteral("default_sopin"));
    baseInfo.default_upin = readSecret(ini, QStringLiteral("default_upin"));
    baseInfo.uPinRetryTimes = readCount(ini, QStringLiteral("uPinRetryTimes"), defaultRetryTimes);
    baseInfo.soPinRetryTimes = readCount(ini, QStringLiteral("soPinRetryTimes"), defaultRetryTimes);
    baseInfo.minUPINLen = readCount(ini, QStringLiteral("minUPINLen"), defaultMinPinLength);
    baseInfo.maxUPINLen = readCount(ini, QStringLiteral("maxUPINLen"), defaultMaxPinLength);
    baseInfo.minSOPINLen = readCount(ini, QStringLiteral("minSOPINLen"), defaultMinPinLength);
    baseInfo.maxSOPINLen = readCount(ini, QStringLiteral("maxSOPINLen"), defaultMaxPinLength);
    baseInfo.ISOFile = readText(ini, QStringLiteral("ISOFile"));
    return 0;
}

bool WriteInitConfig(const QString& path, const TZartoBaseInfo& baseInfo) {
    QList<QPair<QString, QString>> values = {
        {QStringLiteral("LabelName"), baseInfo.LabelName},
        {QStringLiteral("manufacture"), QString::fromLocal8Bit(baseInfo.manufacture)},
        {QStringLiteral("Issuer"), QString::fromLocal8Bit(baseInfo.Issuer)},
        {QStringLiteral("default_sopin"), secretText(baseInfo.default_sopin)},
        {QStringLiteral("default_upin"), secretText(baseInfo.default_upin)},
        {QStringLiteral("uPinRetryTimes"), QString::number(baseInfo.uPinRetryTimes)},
        {QStringLiteral("soPinRetryTimes"), QString::number(baseInfo.soPinRetryTimes)},
        {QStringLiteral("minUPINLen"), QString::number(baseInfo.minUPINLen)},
        {QStringLiteral("maxUPINLen"), QString::number(baseInfo.maxUPINLen)},
        {QStringLiteral("minSOPINLen"), QString::number(baseInfo.minSOPINLen)},
        {QStringLiteral("maxSOPINLen"), QString::number(baseInfo.maxSOPINLen)},
        {QStringLiteral("ISOFile"), QString::fromLocal8Bit(baseInfo.ISOFile)},
    };
    // The file holds both PINs in clear: a new one is readable by its owner only.
    const bool written = platform::IniFile::writeStrings(path, section, values);
    for (auto& [key, value] : values)
        platform::secureWipe(value);
    return written;
}
