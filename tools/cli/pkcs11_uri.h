// A PKCS#11 URI naming one private key on a token ("pkcs11:token=Recovery;id=%01;type=private"), with the
// module to load in its query ("?module-path=/usr/lib/.../module.so" or "?module-name=softhsm2").
#pragma once

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>

namespace cli {

class Pkcs11Uri {
public:
    // A Failure with a usage exit for text that is no PKCS#11 URI, an attribute this program does not know,
    // a PIN in the URI (PINs are never arguments) or an object type other than a private key.
    explicit Pkcs11Uri(const QString& uri);

    static bool looksLike(const QString& text) { return text.startsWith(QLatin1String("pkcs11:")); }

    // A path attribute (token, manufacturer, serial, model, object, id), percent-decoded.
    std::optional<QByteArray> attribute(const char* name) const;
    // The slot-id attribute, when given.
    std::optional<unsigned long> slotId() const;
    // module-path, else module-name; nothing when neither is given.
    std::optional<QByteArray> module() const;

private:
    std::map<QByteArray, QByteArray> path_;
    std::map<QByteArray, QByteArray> query_;
};

} // namespace cli
