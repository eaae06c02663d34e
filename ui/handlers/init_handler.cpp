#include "init_handler.h"

#include "config/format_values_of.h"
#include "config/init_config.h"
#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "init_values.h"
#include "pin_check.h"
#include "platform/secure_wipe.h"
#include "token/flows/format_key.h"
#include "token/flows/format_values.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "ui/action_updater.h"
#include "ui/handlers/confirmation_text.h"
#include "ui/handlers/pin_fields.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/init_page.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <string_view>
#include <utility>

namespace ui {

namespace {

bool lengthWithin(const QLineEdit& field, const QSpinBox& minimum, const QSpinBox& maximum) {
    const qsizetype length = field.text().size();
    return length >= minimum.value() && length <= maximum.value();
}

QString formatRefusalText(const token::flows::FormatOutcome& outcome) {
    if (outcome.result == token::flows::FormatResult::SoPinRefused)
        return i18n::refusedOldPinText(outcome.triesLeft);
    return i18n::text("Change_No");
}

} // namespace

InitHandler::InitHandler(InitPage& page, const MainActions& actions, ActionUpdater& updater, KeyGuard& guard,
                         KeyOperationRunner& runner, const QString& programFolder, QTimer& checkTimer,
                         QObject* parent)
    : QObject(parent), page_(page), actions_(actions), guard_(guard), runner_(runner),
      programFolder_(programFolder), checkTimer_(checkTimer) {
    setObjectName(QStringLiteral("initHandler"));
    connect(actions.AcInit, &QAction::triggered, this, &InitHandler::AcInitExecute);
    updater.add(actions.AcInit, [this] { AcInitUpdate(); });
}

void InitHandler::LoadInitDefaults() {
    TZartoBaseInfo baseInfo;
    if (ReadInitConfig(initConfig().readPath(), baseInfo) != 0)
        return;
    showInitValues(page_, baseInfo);
}

config::SettingsFile InitHandler::initConfig() const {
    return config::SettingsFile(programFolder_, QLatin1String(config::kInitConfigFile));
}

void InitHandler::AcInitUpdate() {
    // On a PIN-pad reader the reader asks for the new user PIN and keeps the SO PIN: the page's PINs stay
    // the defaults for other keys.
    showPinFieldsForReader({page_.edtInit_SPIN, page_.edtInit_UPIN});
    actions_.AcInit->setEnabled(!page_.edtInit_KeyName->text().isEmpty() &&
                                !page_.edtInit_GS->text().isEmpty());
}

void InitHandler::AcInitExecute() {
    const TZartoBaseInfo values = collectInitValues(page_);
    const int32_t key = token::keyTable().currentKey;
    if ((!token::flows::pinsOnReader(key) && !pinLengthsAllowed()) || !valuesFit(values))
        return;
    // A key never initialised has no SO PIN to prove.
    if (token::keyTable().keys[key].initialised == 0)
        format(key, values, platform::SecretBytes());
    else
        confirmWithSoPin(key, values);
}

bool InitHandler::pinLengthsAllowed() const {
    const InitPage& page = page_;
    if (!lengthWithin(*page.edtInit_SPIN, *page.edtInit_SOPINlenMin, *page.edtInit_SOPINlenMax)) {
        messageService().inform(page_.window(), i18n::text("SOPIN_E2"));
        return false;
    }
    if (!lengthWithin(*page.edtInit_UPIN, *page.edtInit_PINlenMin, *page.edtInit_PINLenMax)) {
        messageService().inform(page_.window(), i18n::text("UPIN_E2"));
        return false;
    }
    return true;
}

bool InitHandler::valuesFit(const TZartoBaseInfo& values) const {
    const QByteArray label = values.LabelName.toUtf8();
    const token::flows::FormatValuesCheck check =
        token::flows::checkFormatValues(config::formatTextsOf(values, label), config::formatLimitsOf(values));
    if (check.fits())
        return true;
    // A value is never cut to fit: a cut PIN would be one nobody typed. The field that does not fit gets the
    // focus.
    const auto [tab, field] = placeOf(check.field);
    page_.PCInit->setCurrentWidget(tab);
    field->setFocus();
    messageService().inform(page_.window(), i18n::text("K_Len_Error"));
    return false;
}

std::pair<QWidget*, QWidget*> InitHandler::placeOf(token::flows::FormatField field) const {
    using token::flows::FormatField;
    const InitPage& page = page_;
    switch (field) {
    case FormatField::Manufacturer:
        return {page.TabSheet12, page.edtInit_GS};
    case FormatField::Issuer:
        return {page.TabSheet12, page.edtInit_UnLockPIN};
    case FormatField::SoPin:
        return {page.TabSheet13, page.edtInit_SPIN};
    case FormatField::SoPinRetries:
        return {page.TabSheet13, page.edtInit_MaxCount_SOPIN};
    case FormatField::SoPinMinLength:
        return {page.TabSheet13, page.edtInit_SOPINlenMin};
    case FormatField::SoPinMaxLength:
        return {page.TabSheet13, page.edtInit_SOPINlenMax};
    case FormatField::UserPin:
        return {page.TabSheet14, page.edtInit_UPIN};
    case FormatField::UserPinRetries:
        return {page.TabSheet14, page.edtInit_MaxCount};
    case FormatField::UserPinMinLength:
        return {page.TabSheet14, page.edtInit_PINlenMin};
    case FormatField::UserPinMaxLength:
        return {page.TabSheet14, page.edtInit_PINLenMax};
    case FormatField::Label:
    case FormatField::None:
        break;
    }
    return {page.TabSheet12, page.edtInit_KeyName};
}

void InitHandler::confirmWithSoPin(int32_t key, const TZartoBaseInfo& values) {
    const KeyTicket ticket = guard_.ticket(key);
    const QString question =
        confirmationText(i18n::text("K_Init_Info") + QLatin1Char('\r') + i18n::text("K_Init_try"),
                         token::keyTable().keys[key]);
    if (!messageService().ask(page_.window(), question) || !guard_.stillValid(ticket))
        return;
    whenPinUsable(runner_, key, token::PinType::So, page_.window(), [this, key, ticket, values] {
        if (token::flows::pinsOnReader(key)) {
            messageService().inform(page_.window(), i18n::text("K_PinOnReader"));
            if (guard_.stillValid(ticket))
                format(key, values, platform::SecretBytes());
            return;
        }
        const platform::SecretBytes soPin = askSoPin(ticket);
        if (soPin.isEmpty())
            return;
        // A PIN the key cannot take is never sent to it, so no try is spent on it.
        const PinLimits limits = soPinLimits(token::keyTable().keys[key]);
        if (!limits.allow(soPin.bytes().size())) {
            messageService().inform(page_.window(), i18n::pinLengthText(limits.minimum, limits.maximum));
            return;
        }
        format(key, values, soPin);
    });
}

platform::SecretBytes InitHandler::askSoPin(const KeyTicket& ticket) {
    const PasswordRequest request{i18n::text("K_Verify"), i18n::text("K_InputSOPIN") + QLatin1Char(':'),
                                  QString(), i18n::text("C_Btn_Confirm"), i18n::text("C_Btn_Cancel")};
    const std::optional<platform::SecretBytes> answer = messageService().askPassword(page_.window(), request);
    if (!answer || !guard_.stillValid(ticket))
        return {};
    // The prompt never gives an empty PIN: an empty answer stops the work.
    return platform::SecretBytes(answer->bytes().trimmed());
}

void InitHandler::format(int32_t key, const TZartoBaseInfo& values, const platform::SecretBytes& soPin) {
    const QByteArray label = values.LabelName.toUtf8();
    // A PIN-pad reader is given no PINs: it asks for them itself.
    const bool withPins = !token::flows::pinsOnReader(key);
    // Shared with the flow, which may outlive this call; the block wipes its PINs when the last holder goes.
    const auto block = std::make_shared<const token::flows::FormatBlock>(
        config::formatTextsOf(values, label, withPins), config::formatLimitsOf(values));
    const std::string provider = i18n::text("PROVIDER_NAME").toLocal8Bit().toStdString();
    runner_.run(
        [key, block, soPin, provider] {
            // A key never initialised has no SO PIN to prove (and the prompt never gives an empty one).
            return token::flows::formatKey(key, *block, soPin.isEmpty() ? nullptr : soPin.c_str(), provider);
        },
        [this, values](const token::flows::FormatOutcome& outcome) {
            if (outcome.result != token::flows::FormatResult::Formatted) {
                messageService().inform(page_.window(), formatRefusalText(outcome));
                return;
            }
            keepAsDefaults(values);
            emit formatted();
            messageService().inform(page_.window(), i18n::text("Change_Yes"));
        });
}

void InitHandler::keepAsDefaults(const TZartoBaseInfo& values) {
    QString path;
    const bool written = initConfig().write([&](const QString& target) {
        path = target;
        return WriteInitConfig(target, values);
    });
    if (!written)
        messageService().reportError(page_.window(), QStringLiteral("Unable to write to %1").arg(path));
}

void InitHandler::keysArrived(const QList<int32_t>& arrived) {
    arrivedSlots_ = arrived;
}

void InitHandler::TCheckInitTimer() {
    // Each start of the timer gives exactly one check; while a key is in use it waits for the next tick.
    if (guard_.busy())
        return;
    checkTimer_.stop();
    const token::KeyTable& table = token::keyTable();
    const int32_t keyCount = std::clamp(table.keyCount, 0, token::kMaxKeysFound);
    for (int32_t slot : arrivedSlots_) {
        // A slot still at "no key" was not read by the last scan (its information read failed): its zeroed
        // record says nothing about the key, so it is not taken for an uninitialised key.
        if (slot >= keyCount || table.loginState[slot] == token::NoKey || table.keys[slot].initialised != 0)
            continue;
        messageService().inform(page_.window(), i18n::text("Init_Info"));
        // The user's work on a logged-in key is not taken away from under them.
        if (table.loginState[table.currentKey] != token::LoggedIn)
            emit initialisationPageWanted(slot);
        return;
    }
}

} // namespace ui
