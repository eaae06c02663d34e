#include "check_command.h"

#include "cli_texts.h"
#include "config/mgr_config.h"
#include "config/user_config_folder.h"
#include "health_report.h"
#include "i18n/outcome_texts.h"
#include "token/flows/key_session.h"
#include "token/token_ops.h"

#include <QJsonArray>
#include <algorithm>

namespace cli {

namespace {

using token::flows::KeyStatus;

constexpr int64_t kMostDays = 36500;

// The warning window the window uses: the user's setting in MgrConfig.ini, or the default.
int configuredWarningDays() {
    TConfigInfo config;
    ReadMgrConfig(GetUserConfigFolder() + QStringLiteral("MgrConfig.ini"), config);
    return token::flows::warningDaysFromSetting(config.CertDay);
}

std::vector<const FoundKey*> keysToCheck(Invocation& invocation) {
    std::vector<const FoundKey*> keys;
    const std::size_t named = invocation.arguments().words().size();
    for (std::size_t position = 0; position < named; ++position)
        keys.push_back(&invocation.key(position));
    if (named == 0)
        for (const FoundKey& key : invocation.keys().keys())
            keys.push_back(&key);
    return keys;
}

QString keyPrefix(const FoundKey& key) {
    return QString::fromStdString(key.serial) + QStringLiteral(": ");
}

// Why the user PIN of `key` is not tried: it cannot be used, or one more wrong try would lock it. Empty
// when it may be tried.
QString reasonNotToTry(const FoundKey& key) {
    const token::flows::PinCheck check = token::flows::checkPin(key.slot, token::PinType::User);
    if (check != token::flows::PinCheck::Usable)
        return i18n::pinCheckText(check, cliStyle());
    token::TPinState state{};
    token::token_get_pin_state(key.slot, token::PinType::User, state);
    if (token::flows::judgePin(state) == token::flows::PinHealth::FinalTry)
        return windowText("K_PIN_State_Final");
    return {};
}

// What a check with a PIN did: logged in, or why not.
struct CheckLogin {
    bool loggedIn = false;
    bool refused = false;
};

// Takes the next PIN (one a key, in the order the keys are checked) and logs in with it when the PIN may be
// tried; otherwise says why only what the key shows without a login is checked.
CheckLogin logInToCheck(Invocation& invocation, const FoundKey& key) {
    const platform::SecretBytes pin = invocation.secrets().next(text("UserPinPrompt"));
    if (const QString reason = reasonNotToTry(key); !reason.isEmpty()) {
        invocation.warn(keyPrefix(key) + text("CheckPinNotTried").arg(reason));
        return {};
    }
    const token::flows::Login login = token::flows::openCheckedUserSession(key.slot, pin.c_str());
    if (login.succeeded())
        return {true, false};
    invocation.warn(keyPrefix(key) +
                    text("CheckPinNotTried").arg(i18n::refusedLoginText(login.triesLeft, cliStyle())));
    return {false, true};
}

int exitCodeOf(KeyStatus worst, bool pinRefused) {
    if (worst == KeyStatus::Problem)
        return kHealthProblem;
    if (worst == KeyStatus::Warning)
        return kHealthWarning;
    return pinRefused ? kPinRefused : kDone;
}

} // namespace

std::string CheckCommand::usage() const {
    return "usage: pellorzu-cli check [KEY...] [--days N] [--json] [--pin-file FILE | --pin-stdin]\n"
           "Checks every key the window sees (or the keys named) without a PIN: the user and SO PIN states\n"
           "(ok, low, finalTry, locked, unknown) and every certificate the key shows: valid, expiring (its\n"
           "end within N days; the default is the reminder days of MgrConfig.ini, else 30), expired or\n"
           "notYetValid, and its chain against the system's trust store and the other certificates on the\n"
           "key (trusted, selfSigned, issuerUnknown). One line per key and per certificate; with --json an\n"
           "array of {serial, module, label, status, userPin, soPin, certificates}.\n"
           "With --pin-file or --pin-stdin it logs in first (one user PIN a line, one a key, in the order\n"
           "the keys are checked) and so also sees certificates a key shows only after a login; a PIN on\n"
           "its final try or locked is not tried.\n"
           "Exit codes: 0 every key is ok, 6 a warning (expiring certificate, PIN low or on its final try),\n"
           "7 a problem (expired or not yet valid certificate, locked PIN), 4 a PIN was refused (and\n"
           "nothing worse was found); the others as for every command.\n";
}

int CheckCommand::run(Invocation& invocation) {
    tools::Arguments& arguments = invocation.arguments();
    const int days = static_cast<int>(arguments.integer("days", configuredWarningDays(), 0, kMostDays));
    const bool withPin = arguments.has("pin-file") || arguments.has("pin-stdin");
    const int64_t now = token::flows::secondsNow();
    QJsonArray reports;
    KeyStatus worst = KeyStatus::Ok;
    bool pinRefused = false;
    for (const FoundKey* key : keysToCheck(invocation)) {
        const CheckLogin login = withPin ? logInToCheck(invocation, *key) : CheckLogin{};
        pinRefused = pinRefused || login.refused;
        const token::flows::KeyHealth health = token::flows::readKeyHealth(key->slot, now, days);
        if (login.loggedIn)
            token::flows::logOutKey(key->slot);
        worst = std::max(worst, health.status);
        if (invocation.json())
            reports.append(healthJson(*key, health));
        else
            for (const QString& line : healthLines(*key, health))
                invocation.print(line);
    }
    if (invocation.json())
        invocation.printJson(reports);
    return exitCodeOf(worst, pinRefused);
}

} // namespace cli
