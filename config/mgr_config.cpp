#include "mgr_config.h"

#include "platform/text_encoding.h"

#include <QDomDocument>
#include <QDomElement>
#include <QFile>

namespace {

bool isBase64Character(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'+' ||
           u == u'/' || u == u'=';
}

// Decodes Base64 with the alphabet of RFC 2045, skipping every other character (line breaks, blanks).
QByteArray decodeBase64Text(const QString& text) {
    QByteArray characters;
    characters.reserve(text.size());
    for (QChar c : text)
        if (isBase64Character(c))
            characters.append(char(c.unicode()));
    return QByteArray::fromBase64(characters);
}

// The XML text the file carries; the decoded bytes are text in the locale's 8-bit encoding.
bool readXmlText(const QString& path, QString& xml) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    xml = QString::fromLocal8Bit(decodeBase64Text(platform::decodeTextFile(file.readAll())));
    return true;
}

bool parseDecimal(const QString& text, qint32& field) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (ok)
        field = value;
    return ok;
}

bool readNumberAttribute(const QDomElement& element, const QString& name, qint32& field) {
    return element.hasAttribute(name) && parseDecimal(element.attribute(name), field);
}

bool readTextAttribute(const QDomElement& element, const QString& name, QString& field) {
    if (!element.hasAttribute(name))
        return false;
    field = element.attribute(name);
    return true;
}

bool readNumberElement(const QDomElement& parent, const QString& name, qint32& field) {
    const QDomElement element = parent.firstChildElement(name);
    return !element.isNull() && parseDecimal(element.text(), field);
}

// DefaultPIN is a number like the others, except that an empty element means 1.
bool readDefaultPIN(const QDomElement& parent, qint32& field) {
    const QDomElement element = parent.firstChildElement(QStringLiteral("DefaultPIN"));
    if (element.isNull())
        return false;
    if (element.text().trimmed().isEmpty()) {
        field = 1;
        return true;
    }
    return parseDecimal(element.text(), field);
}

// Reads the fields in their fixed order and stops at the first one that cannot be read.
bool readFields(const QDomElement& baseInfo, TConfigInfo& config) {
    const QDomElement openUrl = baseInfo.firstChildElement(QStringLiteral("OpenURL"));
    const QDomElement certEndDay = baseInfo.firstChildElement(QStringLiteral("CertEndDay"));
    return readNumberAttribute(openUrl, QStringLiteral("OpenMode"), config.OpenMode) &&
           readTextAttribute(openUrl, QStringLiteral("URL"), config.URL) &&
           readNumberAttribute(openUrl, QStringLiteral("BrowserMode"), config.BrowserMode) &&
           readNumberAttribute(certEndDay, QStringLiteral("CertDayMode"), config.CertDayMode) &&
           readNumberAttribute(certEndDay, QStringLiteral("CertDay"), config.CertDay) &&
           readNumberElement(baseInfo, QStringLiteral("LanguageID"), config.LanguageID) &&
           readDefaultPIN(baseInfo, config.DefaultPIN);
}

} // namespace

int ReadMgrConfig(const QString& path, TConfigInfo& config) {
    config = TConfigInfo{};
    QString xml;
    if (!readXmlText(path, xml))
        return 1;
    QDomDocument document;
    if (!document.setContent(xml))
        return 1;
    const QDomElement baseInfo = document.documentElement().firstChildElement(QStringLiteral("BaseInfo"));
    return readFields(baseInfo, config) ? 0 : 1;
}
