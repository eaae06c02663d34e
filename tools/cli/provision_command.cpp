#include "provision_command.h"

#include "certificate_file_import.h"
#include "cli_texts.h"
#include "failure.h"
#include "fleet_provisioning.h"
#include "format_settings.h"
#include "key_labels_file.h"
#include "token/flows/certificate_list.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "tools/common/usage_error.h"
#include "user_session.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

namespace cli {

namespace {

// Everything that is the same for every key of the run.
struct ProvisionPlan {
    TZartoBaseInfo settings;
    std::map<std::string, KeyLabel> labels;
    std::optional<QString> pkcs12Folder;
    std::optional<platform::SecretBytes> pkcs12Password;
    std::optional<platform::SecretBytes> currentSoPin;
    std::unique_ptr<FleetProvisioning> fleet; // random PINs, escrow and records; none without those options
};

// A key of the run; `resume` for one that an earlier run formatted and was stopped before its import.
struct Target {
    const FoundKey* key = nullptr;
    bool resume = false;
};

struct KeyResult {
    const FoundKey* key = nullptr;
    bool formatted = false;
    bool resumed = false;
    QString label;
    std::optional<std::string> container; // where the PKCS#12 pair went
    QString error;                        // empty when the key was provisioned
    bool succeeded() const { return error.isEmpty(); }
};

// The label and user PIN `key` is given: the labels file's where it has them, else the settings'.
TZartoBaseInfo valuesFor(const FoundKey& key, const ProvisionPlan& plan) {
    TZartoBaseInfo values = plan.settings;
    if (const auto found = plan.labels.find(key.serial); found != plan.labels.end()) {
        if (!found->second.label.isEmpty())
            values.LabelName = found->second.label;
        if (!found->second.userPin.isEmpty())
            values.default_upin = found->second.userPin;
    }
    return values;
}

// True for a key an earlier run with these files formatted and did not finish: it has the label the run
// gives it and holds no container yet, so its PKCS#12 import is all that is left.
bool unfinishedByEarlierRun(const FoundKey& key, const ProvisionPlan& plan) {
    const token::TZartoInfo& record = token::keyTable().keys[key.slot];
    if (record.initialised == 0 ||
        QString::fromUtf8(record.label, static_cast<qsizetype>(strnlen(record.label, sizeof record.label)))
                .trimmed() != valuesFor(key, plan).LabelName)
        return false;
    const token::flows::CertificateList list = token::flows::readCertificateList(key.slot);
    return list.code == 0 && list.containers.empty();
}

// The named keys; with --all-blank every key never initialised and, when the run imports PKCS#12 files,
// every key an earlier run left formatted without its import.
std::vector<Target> targetKeys(Invocation& invocation, const ProvisionPlan& plan) {
    const bool allBlank = invocation.arguments().has("all-blank");
    const std::vector<std::string>& words = invocation.arguments().words();
    if (allBlank == !words.empty())
        throw tools::UsageError("name the keys, or give --all-blank (not both)");
    std::vector<Target> targets;
    if (allBlank) {
        for (const FoundKey& key : invocation.keys().keys()) {
            if (token::keyTable().keys[key.slot].initialised == 0)
                targets.push_back({&key, false});
            else if (invocation.arguments().has("pkcs12") && unfinishedByEarlierRun(key, plan))
                targets.push_back({&key, true});
        }
        return targets;
    }
    for (std::size_t i = 0; i < words.size(); ++i)
        targets.push_back({&invocation.key(i), false});
    return targets;
}

// The PKCS#12 file of `serial` in the folder: SERIAL.p12 or SERIAL.pfx.
QString pkcs12FileOf(const QString& folder, const std::string& serial) {
    for (const char* suffix : {".p12", ".pfx"}) {
        const QString path = QDir(folder).filePath(QString::fromStdString(serial) + QLatin1String(suffix));
        if (QFileInfo(path).isFile())
            return path;
    }
    throw Failure(kFileProblem, text("NoPkcs12File").arg(QString::fromStdString(serial), folder));
}

void importPkcs12(const FoundKey& key, const ProvisionPlan& plan, const platform::SecretBytes& userPin,
                  KeyResult& result) {
    ImportRequest request;
    request.path = pkcs12FileOf(*plan.pkcs12Folder, key.serial);
    const token::flows::Login login = token::flows::openCheckedUserSession(key.slot, userPin.c_str());
    if (!login.succeeded())
        throw Failure(kPinRefused, i18n::refusedLoginText(login.triesLeft, cliStyle()));
    try {
        result.container = importCertificateFile(key, request, [&plan] { return *plan.pkcs12Password; });
    } catch (...) {
        token::flows::logOutKey(key.slot);
        throw;
    }
    token::flows::logOutKey(key.slot);
}

// Provisioning writes the key and sets the PINs it chose: a write-protected key and a PIN-pad reader, which
// takes PINs only from its pad, are refused before any library call.
void requireProvisionable(const FoundKey& key) {
    const token::KeyTable& table = token::keyTable();
    if (table.hasFlag(key.slot, QUILLARD_TOKEN_WRITE_PROTECTED))
        throw Failure(kFailed, windowText("K_WriteProtected"));
    if (table.hasFlag(key.slot, QUILLARD_TOKEN_PIN_PAD))
        throw Failure(kFailed, text("PadNotProvisioned"));
}

void provisionKey(const Target& target, const ProvisionPlan& plan, KeyResult& result) {
    const FoundKey& key = *target.key;
    requireProvisionable(key);
    TZartoBaseInfo values = valuesFor(key, plan);
    result.label = values.LabelName;
    if (target.resume) {
        result.resumed = true;
        importPkcs12(key, plan, values.default_upin, result);
        return;
    }
    if (plan.fleet)
        plan.fleet->prepare(key, values);
    const bool initialised = token::keyTable().keys[key.slot].initialised != 0;
    formatKeyWith(key, values, initialised ? &*plan.currentSoPin : nullptr);
    result.formatted = true;
    if (plan.pkcs12Folder)
        importPkcs12(key, plan, values.default_upin, result);
}

// Records the key's outcome and writes its PIN letter; what could not be done is added to its error.
void finishFleetKey(const ProvisionPlan& plan, KeyResult& result) {
    if (!plan.fleet)
        return;
    const QString undone =
        plan.fleet->finish(*result.key, result.formatted, result.container.has_value(), result.error);
    if (!undone.isEmpty())
        result.error = result.error.isEmpty() ? undone : result.error + QStringLiteral("; ") + undone;
}

// The settings and labels of the run.
ProvisionPlan planFrom(Invocation& invocation) {
    tools::Arguments& arguments = invocation.arguments();
    const std::optional<std::string> settings = arguments.text("settings");
    if (!settings)
        throw tools::UsageError("--settings FILE is needed");
    ProvisionPlan plan;
    plan.settings = readFormatSettings(QString::fromLocal8Bit(*settings));
    // A PIN the run makes for each key is checked when it is made: the settings need not hold it.
    TZartoBaseInfo checked = plan.settings;
    if (arguments.has("random-so-pin"))
        checked.default_sopin = platform::SecretBytes(QByteArray(std::max(checked.minSOPINLen, 1), '0'));
    if (arguments.has("random-user-pin"))
        checked.default_upin = platform::SecretBytes(QByteArray(std::max(checked.minUPINLen, 1), '0'));
    checkFormatSettings(checked);
    if (const auto labels = arguments.text("labels"))
        plan.labels = readKeyLabels(QString::fromLocal8Bit(*labels));
    return plan;
}

// The secrets the run needs for `targets`, in the order the usage gives.
void askSecrets(Invocation& invocation, const std::vector<Target>& targets, ProvisionPlan& plan) {
    tools::Arguments& arguments = invocation.arguments();
    const bool anyInitialised = std::any_of(targets.begin(), targets.end(), [](const Target& target) {
        return !target.resume && token::keyTable().keys[target.key->slot].initialised != 0;
    });
    if (anyInitialised)
        plan.currentSoPin = invocation.secrets().next(text("CurrentSoPinPrompt"));
    if (const auto folder = arguments.text("pkcs12")) {
        plan.pkcs12Folder = QString::fromLocal8Bit(*folder);
        if (!QFileInfo(*plan.pkcs12Folder).isDir())
            throw Failure(kFileProblem, text("FileUnreadable").arg(*plan.pkcs12Folder));
        plan.pkcs12Password = invocation.secrets().next(text("Pkcs12PasswordPrompt"));
    }
    plan.fleet = FleetProvisioning::from(invocation);
}

QJsonObject resultJson(const KeyResult& result) {
    QJsonObject json{{QStringLiteral("serial"), QString::fromStdString(result.key->serial)},
                     {QStringLiteral("module"), QString::fromStdString(result.key->module)},
                     {QStringLiteral("ok"), result.succeeded()},
                     {QStringLiteral("formatted"), result.formatted},
                     {QStringLiteral("resumed"), result.resumed},
                     {QStringLiteral("label"), result.label},
                     {QStringLiteral("imported"), result.container.has_value()}};
    if (result.container)
        json.insert(QStringLiteral("container"), QString::fromLocal8Bit(*result.container));
    if (!result.succeeded())
        json.insert(QStringLiteral("error"), result.error);
    return json;
}

QString resultLine(const KeyResult& result) {
    QString line = QString::fromStdString(result.key->serial) + QStringLiteral("  ");
    if (!result.succeeded())
        return line + text("ProvisionFailed").arg(result.error);
    line += text("ProvisionDone").arg(result.label);
    if (result.container)
        line +=
            QStringLiteral(", ") + text("ProvisionImported").arg(QString::fromLocal8Bit(*result.container));
    return line;
}

} // namespace

std::set<std::string> ProvisionCommand::options() const {
    std::set<std::string> names{"settings", "labels", "pkcs12"};
    names.insert(FleetProvisioning::options().begin(), FleetProvisioning::options().end());
    return names;
}

std::set<std::string> ProvisionCommand::switches() const {
    std::set<std::string> names{"all-blank"};
    names.insert(FleetProvisioning::switches().begin(), FleetProvisioning::switches().end());
    return names;
}

std::string ProvisionCommand::usage() const {
    return "usage: pellorzu-cli provision --settings FILE [--all-blank | KEY...] [--labels CSV] [--pkcs12 "
           "DIR]\n"
           "                             [--json] [--pin-file FILE | --pin-stdin]\n"
           "Formats every named key, or with --all-blank every key that was never initialised, with the\n"
           "settings file of 'format' (see 'pellorzu-cli help format'). With --all-blank and --pkcs12, a "
           "key\n"
           "an earlier run formatted but stopped before its import (the run's label, no container) gets its\n"
           "import now (\"resumed\" in the JSON).\n"
           "  --labels CSV   per-key labels and user PINs: lines 'serial,label[,user PIN]'; a key that is "
           "not\n"
           "                 in the file, or has an empty field, takes the settings' value. A file that "
           "holds\n"
           "                 PINs is refused when group or others may read it.\n"
           "  --pkcs12 DIR   imports DIR/SERIAL.p12 (or .pfx) into a new container of each key, as the\n"
           "                 exchange pair, logged in with the key's new user PIN; one password for all "
           "files.\n"
           "Prints one result line per key (with --json an array of {serial, module, ok, formatted, "
           "resumed,\n"
           "label, imported, container, error}). A key that fails does not stop the others; the exit code is "
           "0\n"
           "when every key was provisioned and 1 when any failed.\n"
           "Secrets: the current SO PIN (only when a named key was initialised before; one for all), then "
           "the\n"
           "PKCS#12 password (only with --pkcs12).\n"
           "For a fleet of keys:\n"
           "  --random-so-pin --escrow CERT  gives each key its own random SO PIN, kept only encrypted to "
           "the\n"
           "                 recovery certificate CERT (PEM) in the records (needs --records); nobody sees "
           "it.\n"
           "  --random-user-pin  gives each key its own random user PIN (a PIN of the labels file is not\n"
           "                 used), written to SERIAL-pin-letter.txt (owner only) in the folder of\n"
           "                 --pin-letters DIR (default: the current one), or nowhere with "
           "--no-pin-letters.\n"
           "  --records STORE  adds a record per key (see 'pellorzu-cli help records'); when the store\n"
           "                 cannot be reached no key is touched.\n";
}

int ProvisionCommand::run(Invocation& invocation) {
    ProvisionPlan plan = planFrom(invocation);
    const std::vector<Target> targets = targetKeys(invocation, plan);
    askSecrets(invocation, targets, plan);
    std::vector<KeyResult> results;
    for (const Target& target : targets) {
        KeyResult& result = results.emplace_back();
        result.key = target.key;
        try {
            provisionKey(target, plan, result);
        } catch (const Failure& failure) {
            result.error = failure.message();
        }
        finishFleetKey(plan, result);
        if (!invocation.json())
            invocation.print(resultLine(result));
    }
    const auto succeeded =
        std::count_if(results.begin(), results.end(), [](const KeyResult& r) { return r.succeeded(); });
    if (invocation.json()) {
        QJsonArray array;
        for (const KeyResult& result : results)
            array.append(resultJson(result));
        invocation.printJson(array);
    } else {
        invocation.print(text("ProvisionSummary").arg(succeeded).arg(results.size()));
    }
    return succeeded == static_cast<qsizetype>(results.size()) ? kDone : kFailed;
}

} // namespace cli
