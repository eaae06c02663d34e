#include "cli_texts.h"

#include "i18n/string_table.h"
#include "platform/ini_file.h"

#include <QByteArray>
#include <cstdlib>
#include <map>
#include <string_view>

namespace cli {

namespace {

const QString kSection = QStringLiteral("CommandLine");

struct OwnText {
    const char* key;
    const char* english;
};

// The command line's own texts in English, for a language file without a [CommandLine] section. Line
// breaks are written "\n" in the language files, which hold one line a value.
const OwnText kOwnTexts[] = {
    {"Overview",
     "Every key operation of PellorZu Admin from the command line, on every key the window sees."},
    {"OverviewDetails",
     "KEY is a key's serial, or MODULE:SERIAL (or --module MODULE) where two modules could share one.\nPINs "
     "and passwords are never arguments: they are typed without echo, or read one a line from\n--pin-file "
     "FILE (readable by its owner only) or from standard input (--pin-stdin).\nExit codes: 0 done, 1 failed, "
     "2 usage, 3 no such key, 4 PIN refused or locked, 5 file problem;\ncheck: 6 warning, 7 "
     "problem.\n'pellorzu-cli help COMMAND' explains "
     "a command."},
    {"Summary_list", "list the keys with their state"},
    {"Summary_info", "show one key"},
    {"Summary_certs", "list the containers and certificates of a key"},
    {"Summary_export", "write a certificate to a file (DER or PEM)"},
    {"Summary_import", "import a PKCS#12 or X.509 file"},
    {"Summary_delete-cert", "delete a certificate and its key pair"},
    {"Summary_delete-container", "delete a container"},
    {"Summary_register", "register a key's certificates in the certificate store"},
    {"Summary_unregister", "remove the provider's certificates from the store"},
    {"Summary_change-pin", "change the user PIN"},
    {"Summary_set-label", "change the key's label"},
    {"Summary_format", "initialise a key with a settings file"},
    {"Summary_change-so-pin", "change the SO PIN"},
    {"Summary_unlock", "set a new user PIN with the SO PIN (unlocks it)"},
    {"Summary_write-iso", "write an ISO image to the key's disk area"},
    {"Summary_provision", "format and fill many keys in one run"},
    {"UnknownCommand", "pellorzu-cli: unknown command '%1'"},
    {"NoSuchKey", "no key answers to '%1'"},
    {"AmbiguousKey", "'%1' is a key of more than one module (%2): name it MODULE:SERIAL or give --module"},
    {"NoTerminal", "a PIN is needed and there is no terminal to ask on: give --pin-file FILE or --pin-stdin"},
    {"NoSecretGiven", "no %1 was given"},
    {"SecretZeroByte", "the %1 holds a zero byte"},
    {"SecretMissing", "the PIN file or standard input ends before the %1"},
    {"PinFileOpen",
     "%1 holds PINs and may be read by others: make it readable by its owner only (chmod 600)"},
    {"SettingsFileOpen", "the settings file %1 holds PINs and may be read by others: make it readable by its "
                         "owner only (chmod 600)"},
    {"SettingsIncomplete", "the settings file needs LabelName and manufacture in [InitData]"},
    {"SettingsValueTooLong", "%1 in the settings file takes at most %2 bytes"},
    {"SettingsValueZeroByte", "%1 in the settings file holds a zero byte"},
    {"SettingsValueOutOfRange", "%1 in the settings file must be %2 to %3"},
    {"FileUnreadable", "cannot read %1"},
    {"BadCsvLine", "%1, line %2: expected serial,label[,user PIN]"},
    {"BadCsvLabel", "%1, line %2: the label is not UTF-8"},
    {"NoPkcs12File", "no %1.p12 or %1.pfx in %2"},
    {"PadNotProvisioned", "the key's PINs are typed on its reader's PIN pad: provisioning cannot set them"},
    {"UserPinPrompt", "user PIN"},
    {"OldUserPinPrompt", "old user PIN"},
    {"NewUserPinPrompt", "new user PIN"},
    {"AgainPrompt", "the same again"},
    {"SoPinPrompt", "SO PIN"},
    {"CurrentSoPinPrompt", "current SO PIN"},
    {"OldSoPinPrompt", "old SO PIN"},
    {"NewSoPinPrompt", "new SO PIN"},
    {"Pkcs12PasswordPrompt", "PKCS#12 password"},
    {"Imported", "imported into container %1"},
    {"Module", "Module"},
    {"Initialised", "Initialised"},
    {"UserPin", "User PIN"},
    {"SoPin", "SO PIN"},
    {"Yes", "yes"},
    {"No", "no"},
    {"Locked", "locked"},
    {"TriesLeft", "%1/%2 left"},
    {"ColumnSerial", "SERIAL"},
    {"ColumnModule", "MODULE"},
    {"ColumnLabel", "LABEL"},
    {"ColumnInitialised", "INIT"},
    {"ColumnUserPin", "USER PIN"},
    {"ColumnSoPin", "SO PIN"},
    {"ColumnMemory", "MEMORY FREE/TOTAL"},
    {"ProvisionDone", "provisioned: label \"%1\""},
    {"ProvisionImported", "certificate in container %1"},
    {"ProvisionFailed", "FAILED: %1"},
    {"ProvisionSummary", "%1 of %2 keys provisioned"},
    {"Summary_records", "list provisioning records"},
    {"Summary_escrow", "show the escrowed SO PIN of a key (escrow show)"},
    {"NoRandomPinLength", "the settings' PIN length limits leave no length for a random PIN"},
    {"RandomFailed", "the random generator failed"},
    {"EscrowFailed", "the SO PIN could not be encrypted to the recovery certificate"},
    {"NotACertificate", "%1 is not a certificate (PEM or DER)"},
    {"RecoveryKeyType", "the key of the recovery certificate %1 is neither RSA nor EC"},
    {"RecoveryKeyUnreadable", "cannot read the recovery key %1 (no private key, or a wrong pass phrase)"},
    {"EscrowUnreadable",
     "the escrowed SO PIN is not sealed as pellorzu-cli seals it (AES-256-GCM enveloped data)"},
    {"Pkcs11UriBad", "%1 is not a PKCS#11 URI of a private key this program can use: %2"},
    {"Pkcs11UriPin", "a PIN is never taken from the URI: it is asked for"},
    {"RecoveryModuleUnusable", "the PKCS#11 module %1 cannot be loaded"},
    {"RecoveryTokenFailed", "the recovery token failed: %1 answered 0x%2"},
    {"RecoveryTokenNotFound", "%1 names %2 tokens: it must name exactly one"},
    {"RecoveryTokenKeyNotFound", "%1 names %2 private keys on the token: it must name exactly one"},
    {"RecoveryTokenPinRefused", "the recovery token refused its PIN: nothing was changed"},
    {"RecoveryTokenKeyType", "a recovery key on a token must be an RSA key (decrypting with RSA-OAEP) or an "
                             "EC key (agreeing by ECDH)"},
    {"TokenPinPrompt", "user PIN of the recovery token"},
    {"RecoveryKeyWrong", "the recovery key does not open the escrowed SO PIN: nothing was changed"},
    {"RecordStoreFailed", "the record store %1 cannot be used: %2"},
    {"RecordSchemaNewer", "its records were written by a newer version of pellorzu-cli"},
    {"SoPinNotEscrowed", "the SO PIN of %1 was last set on %2 (%3) without escrow"},
    {"NoEscrowRecord", "no SO PIN of %1 is escrowed in %2"},
    {"PinLetterExists", "the PIN letter %1 is already there: the key was left untouched"},
    {"PinLetterText",
     "PIN letter for key %1 (label \"%2\"). Its user PIN is on the next line; change it when "
     "you first use the key."},
    {"PassPhrasePrompt", "recovery key pass phrase"},
    {"EscrowShown", "SO PIN of %1, escrowed on %2 by %3@%4:"},
    {"EscrowShownNote", "SO PIN escrowed on %1 shown"},
    {"RecordEscrowed", "SO PIN escrowed"},
    {"NoRecords", "no records"},
    {"FileUnwritable", "cannot write %1"},
    {"Summary_check", "check the certificates and PINs of the keys (for monitoring)"},
    {"AllowExpiredHint", "give --allow-expired to import it anyway"},
    {"CheckPinNotTried",
     "the user PIN was not used (%1): only what the key shows without a login is checked"},
    // Enrolment.
    {"Summary_keygen", "make a key pair on the key"},
    {"Summary_request", "write a certificate request (or self-signed certificate) signed on the key"},
    {"Summary_install", "install an issued certificate beside its key pair"},
    {"Summary_ssh-key", "print the OpenSSH public keys of the key's key pairs"},
    {"KeyPairMade", "%1 key pair made: %2"},
    {"KeyGenFailed", "the key pair could not be made"},
    {"KeyKindNotOffered", "the key does not make %1 key pairs; it makes: %2"},
    {"NoKeyKinds", "none"},
    {"PlaceTaken", "%1 holds a key pair or certificate already: nothing was changed"},
    {"SubjectBad", "the subject or the alternative names do not parse: write the subject as "
                   "/CN=name/O=organisation/C=DE and the names as DNS:host,email:address,IP:address,URI:uri"},
    {"RequestFailed", "the request could not be made"},
    {"RequestWritten", "certificate request written to %1"},
    {"SelfSignedWritten", "self-signed certificate written to %1"},
    {"CertificateInstalled", "certificate installed: %1"},
    {"NoMatchingKey", "no key pair on the key matches the certificate's public key: nothing was changed"},
    {"ChainRefused", "the certificate does not verify against the chain of %1: nothing was changed"},
    {"InstallFailed", "the certificate could not be installed"},
    {"NoSshKeys", "the key holds no RSA or EC key pair"},
};

// The language file loaded last, for the texts read when they are needed.
QString& loadedFile() {
    static QString path;
    return path;
}

std::map<std::string_view, QString>& ownTexts() {
    static std::map<std::string_view, QString> texts = [] {
        std::map<std::string_view, QString> builtIn;
        for (const OwnText& own : kOwnTexts)
            builtIn[own.key] = QString::fromUtf8(own.english);
        return builtIn;
    }();
    return texts;
}

// The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty.
QByteArray environmentLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

} // namespace

bool chineseEnvironment() {
    return environmentLocale().startsWith("zh");
}

void loadLanguage(const QString& languagesFolder) {
    const QString path = languagesFolder + (chineseEnvironment() ? QStringLiteral("CHS_2052.lng")
                                                                 : QStringLiteral("EN_1033.lng"));
    i18n::LoadLanguageFile(path);
    loadedFile() = path;
    const platform::IniFile file = platform::IniFile::load(path);
    for (auto& [key, value] : ownTexts()) {
        const QString loaded = file.readString(kSection, QString::fromLatin1(key.data(), key.size()));
        if (!loaded.isEmpty())
            value = QString(loaded).replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    }
}

std::string usageText(const std::string& command, const std::string& english) {
    const QString key = QStringLiteral("Usage_") + QString::fromStdString(command);
    const QString loaded = platform::IniFile::load(loadedFile()).readString(kSection, key);
    if (loaded.isEmpty())
        return english;
    return utf8(QString(loaded).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
}

QString text(const char* key) {
    const auto found = ownTexts().find(key);
    return found == ownTexts().end() ? QString::fromLatin1(key) : found->second;
}

QString windowText(const char* key) {
    return i18n::text(key).remove(QLatin1Char('\r')).trimmed();
}

QString countText(const char* key, int32_t count) {
    return i18n::formatCount(windowText(key), count);
}

const i18n::TextStyle& cliStyle() {
    static const i18n::TextStyle style{&windowText, QStringLiteral(". ")};
    return style;
}

QString codeText(int32_t code) {
    return QStringLiteral("0x%1")
        .arg(static_cast<uint32_t>(code), 8, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QStringLiteral("0X"), QStringLiteral("0x"));
}

QString failureText(const QString& message, int32_t code) {
    return message + QStringLiteral(" (") + windowText("K_ErrorCODE_Str").remove(QLatin1Char('=')).trimmed() +
           QLatin1Char(' ') + codeText(code) + QLatin1Char(')');
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

} // namespace cli
