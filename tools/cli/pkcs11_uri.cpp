#include "pkcs11_uri.h"

#include "cli_texts.h"
#include "failure.h"

#include <QByteArrayList>
#include <set>

namespace cli {

namespace {

const std::set<QByteArray> kPathAttributes{"token",  "manufacturer", "serial", "model",
                                           "object", "id",           "type",   "slot-id"};
const std::set<QByteArray> kQueryAttributes{"module-path", "module-name"};

[[noreturn]] void refuse(const QString& uri, const QString& why) {
    throw Failure(kUsage, text("Pkcs11UriBad").arg(uri, why));
}

// name=value pairs split by `separator`, percent-decoded; unknown names and repeats refused.
std::map<QByteArray, QByteArray> pairs(const QString& uri, const QByteArray& part, char separator,
                                       const std::set<QByteArray>& known) {
    std::map<QByteArray, QByteArray> result;
    for (const QByteArray& pair : part.split(separator)) {
        if (pair.isEmpty())
            continue;
        const qsizetype equals = pair.indexOf('=');
        const QByteArray name = pair.left(equals);
        if (name == "pin-value" || name == "pin-source")
            refuse(uri, text("Pkcs11UriPin"));
        if (equals < 0 || !known.count(name) || result.count(name))
            refuse(uri, QString::fromLatin1(name));
        result[name] = QByteArray::fromPercentEncoding(pair.mid(equals + 1));
    }
    return result;
}

} // namespace

Pkcs11Uri::Pkcs11Uri(const QString& uri) {
    if (!looksLike(uri))
        refuse(uri, QStringLiteral("pkcs11:"));
    const QByteArray rest = uri.mid(7).toUtf8();
    const qsizetype question = rest.indexOf('?');
    path_ = pairs(uri, rest.left(question), ';', kPathAttributes);
    if (question >= 0)
        query_ = pairs(uri, rest.mid(question + 1), '&', kQueryAttributes);
    if (path_.count("type") && path_["type"] != "private")
        refuse(uri, QStringLiteral("type=") + QString::fromLatin1(path_["type"]));
    if (path_.count("slot-id")) {
        bool number = false;
        path_["slot-id"].toULong(&number);
        if (!number)
            refuse(uri, QStringLiteral("slot-id"));
    }
}

std::optional<QByteArray> Pkcs11Uri::attribute(const char* name) const {
    const auto found = path_.find(name);
    return found == path_.end() ? std::nullopt : std::optional(found->second);
}

std::optional<unsigned long> Pkcs11Uri::slotId() const {
    const std::optional<QByteArray> id = attribute("slot-id");
    return id ? std::optional(id->toULong()) : std::nullopt;
}

std::optional<QByteArray> Pkcs11Uri::module() const {
    for (const char* name : {"module-path", "module-name"})
        if (const auto found = query_.find(name); found != query_.end())
            return found->second;
    return std::nullopt;
}

} // namespace cli
