#include "certs_command.h"

#include "certificate_text.h"
#include "cli_texts.h"
#include "failure.h"
#include "key_spec.h"
#include "token/enrolment_ops.h"
#include "token/flows/certificate_list.h"
#include "token/lib/key_description.h"
#include "token/token_ops.h"
#include "user_session.h"

#include <QJsonArray>
#include <QJsonObject>

namespace cli {

namespace {

struct TextField {
    const char* name;
    int32_t field;
};

const TextField kFields[] = {
    {"subject", QUILLARD_CERT_SUBJECT},     {"issuer", QUILLARD_CERT_ISSUER},
    {"serialNumber", QUILLARD_CERT_SERIAL}, {"notBefore", QUILLARD_CERT_NOT_BEFORE},
    {"notAfter", QUILLARD_CERT_NOT_AFTER},  {"keyAlgorithm", QUILLARD_CERT_KEY_ALGORITHM},
    {"keyBits", QUILLARD_CERT_KEY_BITS},    {"sha1", QUILLARD_CERT_SHA1},
    {"sha256", QUILLARD_CERT_SHA256}};

// RFC 7512 percent-encoding of a URI attribute value: every byte outside the unreserved characters.
QString percentEncoded(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toPercentEncoding());
}

// The URI of an object of the pair whose CKA_ID is `id` on the virtual key `key` (see objectUri()).
QString uriOfId(const FoundKey& key, const QByteArray& id, const char* type) {
    return QStringLiteral("pkcs11:serial=") + percentEncoded(QByteArray::fromStdString(key.serial)) +
           QStringLiteral(";id=") + percentEncoded(id) + QStringLiteral(";type=") + QLatin1String(type);
}

// The PKCS#11 URI of the certificate or a key of its pair (`type` cert, public or private) through the
// module over the virtual keys, which names them by the key's serial and the pair's CKA_ID (the SHA-1 of
// the public key). A container's two pairs share their label, so only the ID tells them apart. Empty for a
// key of another module, whose objects may carry IDs of their own.
QString objectUri(const FoundKey& key, const token::flows::ContainerCertificate& certificate,
                  const char* type) {
    if (key.module != "virtual")
        return {};
    const QString keyId = certificateText(certificate.info, QUILLARD_CERT_KEY_ID);
    if (keyId.isEmpty())
        return {};
    return uriOfId(key, QByteArray::fromHex(keyId.toLatin1()), type);
}

// A key pair made on the key that waits for its certificate: its specification, kind and size, and on a
// virtual key the URIs of its two keys (their CKA_ID is the SHA-1 of the public key, as the module gives it).
QJsonObject pendingPairJson(const FoundKey& key, const std::string& container, int32_t spec) {
    QJsonObject json{{QStringLiteral("spec"), specName(spec)}};
    token::PublicKeyFacts facts;
    if (token::container_public_key(key.slot, container, spec, facts) != 0)
        return json;
    const bool ec = facts.algorithm == token::kEllipticCurveKey;
    json.insert(QStringLiteral("keyAlgorithm"), ec ? QStringLiteral("EC") : QStringLiteral("RSA"));
    json.insert(QStringLiteral("keyBits"), facts.bits);
    const std::vector<uint8_t> id = quillard::keyIdOf(facts.subjectPublicKeyInfo);
    if (key.module == "virtual" && !id.empty()) {
        const QByteArray idBytes(reinterpret_cast<const char*>(id.data()), static_cast<qsizetype>(id.size()));
        json.insert(QStringLiteral("publicKeyUri"), uriOfId(key, idBytes, "public"));
        json.insert(QStringLiteral("privateKeyUri"), uriOfId(key, idBytes, "private"));
    }
    return json;
}

QJsonObject pairKeyJson(const token::flows::PairKey& key, const QString& uri) {
    QJsonObject json{{QStringLiteral("present"), key.present},
                     {QStringLiteral("type"), key.keyType == token::kEllipticCurveKey
                                                  ? QStringLiteral("EC")
                                                  : QStringLiteral("RSA")}};
    if (key.present && !uri.isEmpty())
        json.insert(QStringLiteral("uri"), uri);
    return json;
}

QJsonObject certificateJson(const FoundKey& key, const token::flows::ContainerCertificate& certificate) {
    QJsonObject json{{QStringLiteral("spec"), specName(certificate.spec)}};
    for (const TextField& field : kFields)
        json.insert(QLatin1String(field.name), certificateText(certificate.info, field.field));
    if (const QString uri = objectUri(key, certificate, "cert"); !uri.isEmpty())
        json.insert(QStringLiteral("uri"), uri);
    json.insert(QStringLiteral("publicKey"),
                pairKeyJson(certificate.publicKey, objectUri(key, certificate, "public")));
    json.insert(QStringLiteral("privateKey"),
                pairKeyJson(certificate.privateKey, objectUri(key, certificate, "private")));
    return json;
}

QJsonArray listJson(const FoundKey& key, const token::flows::CertificateList& list) {
    QJsonArray containers;
    for (const token::flows::ContainerEntry& entry : list.containers) {
        QJsonArray certificates;
        for (const auto& certificate : entry.certificates)
            certificates.append(certificateJson(key, certificate));
        QJsonArray pendingPairs;
        for (const int32_t spec : entry.keyPairsWithoutCertificate)
            pendingPairs.append(pendingPairJson(key, entry.name, spec));
        containers.append(QJsonObject{{QStringLiteral("name"), QString::fromLocal8Bit(entry.name)},
                                      {QStringLiteral("certificates"), certificates},
                                      {QStringLiteral("keyPairsWithoutCertificate"), pendingPairs}});
    }
    return containers;
}

QString pairKeyText(const char* caption, const token::flows::PairKey& key, int32_t bits) {
    if (!key.present)
        return QStringLiteral("    ") + windowText(caption) + QStringLiteral(": -");
    return QStringLiteral("    ") + windowText(caption) + QStringLiteral(": ") +
           (key.keyType == token::kEllipticCurveKey ? QStringLiteral("ECC") : QStringLiteral("RSA")) +
           QString::number(bits);
}

void printList(Invocation& invocation, const FoundKey& key, const token::flows::CertificateList& list) {
    if (list.containers.empty())
        invocation.print(windowText("K_Null_cont"));
    for (const token::flows::ContainerEntry& entry : list.containers) {
        invocation.print(QString::fromLocal8Bit(entry.name) + windowText("K_Cont"));
        for (const auto& certificate : entry.certificates) {
            invocation.print(QStringLiteral("  ") +
                             windowText(certificate.spec == 1 ? "K_Cert_mode1" : "K_Cert_mode2") +
                             QStringLiteral(" (") + specName(certificate.spec) + QLatin1Char(')'));
            const QJsonObject json = certificateJson(key, certificate);
            for (const TextField& field : kFields)
                invocation.print(QStringLiteral("    ") + QLatin1String(field.name) + QStringLiteral(": ") +
                                 json.value(QLatin1String(field.name)).toString());
            invocation.print(pairKeyText("K_RSA_Pub", certificate.publicKey, certificate.info.keyBits));
            invocation.print(pairKeyText("K_RSA_Pri", certificate.privateKey, certificate.info.keyBits));
        }
        for (const int32_t spec : entry.keyPairsWithoutCertificate)
            invocation.print(QStringLiteral("  ") + windowText("Cert_KeyPairOnly") + QStringLiteral(" (") +
                             specName(spec) + QLatin1Char(')'));
    }
}

} // namespace

std::string CertsCommand::usage() const {
    return "usage: pellorzu-cli certs KEY [--json] [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN (asked for) and lists the key's containers; for each certificate its\n"
           "key specification (exchange or signature), subject, issuer, serial number, validity (notBefore,\n"
           "notAfter), SHA-1 and SHA-256 fingerprints, key algorithm and size, and whether the public and "
           "the\n"
           "private key of its pair are on the key, and the key pairs made on the key that wait for their\n"
           "certificate. With --json: an array of containers {name, certificates, "
           "keyPairsWithoutCertificate};\n"
           "on a virtual key each certificate and key also has its PKCS#11 URI for the module.\n"
           "Secrets: the user PIN.\n";
}

int CertsCommand::run(Invocation& invocation) {
    invocation.expectAtMost(1);
    const FoundKey& key = invocation.key(0);
    const UserSession session(invocation, key);
    const token::flows::CertificateList list = token::flows::readCertificateList(key.slot);
    if (list.code != 0)
        throw Failure(kFailed, failureText(windowText("K_GetKeyCert_Error"), list.code));
    if (invocation.json())
        invocation.printJson(listJson(key, list));
    else
        printList(invocation, key, list);
    return kDone;
}

} // namespace cli
