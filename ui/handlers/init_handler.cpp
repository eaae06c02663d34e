#include "init_handler.h"

#include "app/init_config.h"
#include "i18n/string_table.h"
#include "init_values.h"
#include "message_text.h"
#include "platform/secure_wipe.h"
#include "token/flows/format_key.h"
#include "token/key_table.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/init_page.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <string_view>

namespace ui {

namespace {

std::string_view view(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

token::flows::FormatLimits formatLimits(const TZartoBaseInfo& values) {
    return {values.uPinRetryTimes, values.soPinRetryTimes, values.minUPINLen,
            values.maxUPINLen,     values.minSOPINLen,     values.maxSOPINLen};
}

bool lengthWithin(const QLineEdit& field, const QSpinBox& minimum, const QSpinBox& maximum) {
    const qsizetype length = field.text().size();
    return length >= minimum.value() && length <= maximum.value();
}

QString formatRefusalText(const token::flows::FormatOutcome& outcome) {
    if (outcome.result == token::flows::FormatResult::SoPinRefused)
        return refusedOldPinText(outcome.triesLeft);
    return i18n::text("Change_No");
}

} // namespace

InitHandler::InitHandler(TMainForm& form) : QObject(&form), form_(form) {
    connect(form.actions.AcInit, &QAction::triggered, this, &InitHandler::AcInitExecute);
    form.addUpdateHandler(form.actions.AcInit, [this] { AcInitUpdate(); });
}

void InitHandler::LoadInitDefaults() {
    TZartoBaseInfo baseInfo;
    if (ReadInitConfig(initConfig().readPath(), baseInfo) != 0)
        return;
    showInitValues(*form_.TabSheet8, baseInfo);
}

app::SettingsFile InitHandler::initConfig() const {
    return app::SettingsFile(form_.programFolder(), QLatin1String(kInitConfigFile));
}

void InitHandler::AcInitUpdate() {
    const InitPage& page = *form_.TabSheet8;
    form_.actions.AcInit->setEnabled(!page.edtInit_KeyName->text().isEmpty() &&
                                     !page.edtInit_GS->text().isEmpty());
}

void InitHandler::AcInitExecute() {
    const TZartoBaseInfo values = collectInitValues(*form_.TabSheet8);
    if (!pinLengthsAllowed() || !textsFit(values))
        return;
    const int32_t key = token::keyTable().currentKey;
    platform::SecretBytes soPin;
    if (token::keyTable().keys[key].initialised != 0 && !confirmWithSoPin(key, soPin))
        return;
    format(key, values, soPin);
}

bool InitHandler::pinLengthsAllowed() const {
    const InitPage& page = *form_.TabSheet8;
    if (!lengthWithin(*page.edtInit_SPIN, *page.edtInit_SOPINlenMin, *page.edtInit_SOPINlenMax)) {
        messageService().inform(&form_, i18n::text("SOPIN_E2"));
        return false;
    }
    if (!lengthWithin(*page.edtInit_UPIN, *page.edtInit_PINlenMin, *page.edtInit_PINLenMax)) {
        messageService().inform(&form_, i18n::text("UPIN_E2"));
        return false;
    }
    return true;
}

bool InitHandler::textsFit(const TZartoBaseInfo& values) const {
    using token::flows::FormatBlock;
    const InitPage& page = *form_.TabSheet8;
    struct Text {
        qsizetype bytes;
        std::size_t limit;
        QWidget* tab;
        QLineEdit* field;
    };
    const Text texts[] = {
        {values.LabelName.toUtf8().size(), FormatBlock::kLongestLabel, page.TabSheet12, page.edtInit_KeyName},
        {values.manufacture.size(), FormatBlock::kTextField, page.TabSheet12, page.edtInit_GS},
        {values.Issuer.size(), FormatBlock::kTextField, page.TabSheet12, page.edtInit_UnLockPIN},
        {values.default_sopin.size(), FormatBlock::kTextField, page.TabSheet13, page.edtInit_SPIN},
        {values.default_upin.size(), FormatBlock::kTextField, page.TabSheet14, page.edtInit_UPIN},
    };
    for (const Text& text : texts) {
        if (static_cast<std::size_t>(text.bytes) <= text.limit)
            continue;
        // A text is never cut to fit: a cut PIN would be one nobody typed.
        page.PCInit->setCurrentWidget(text.tab);
        text.field->setFocus();
        messageService().inform(&form_, i18n::text("K_Len_Error"));
        return false;
    }
    return true;
}

bool InitHandler::confirmWithSoPin(int32_t key, platform::SecretBytes& soPin) {
    const KeyTicket ticket = form_.keyGuard.ticket(key);
    const QString question = i18n::text("K_Init_Info") + QLatin1Char('\r') + i18n::text("K_Init_try");
    if (!messageService().ask(&form_, question) || !form_.keyGuard.stillValid(ticket))
        return false;
    if (token::flows::soPinLocked(key)) {
        messageService().inform(&form_, i18n::text("K_Dead"));
        return false;
    }
    const PasswordRequest request{i18n::text("K_Verify"), i18n::text("K_InputSOPIN") + QLatin1Char(':'),
                                  QString(), i18n::text("C_Btn_Confirm"), i18n::text("C_Btn_Cancel")};
    const std::optional<platform::SecretBytes> answer = messageService().askPassword(&form_, request);
    if (!answer || !form_.keyGuard.stillValid(ticket))
        return false;
    soPin = platform::SecretBytes(answer->bytes().trimmed());
    return !soPin.isEmpty();
}

void InitHandler::format(int32_t key, const TZartoBaseInfo& values, const platform::SecretBytes& soPin) {
    const QByteArray label = values.LabelName.toUtf8();
    const token::flows::FormatTexts texts{view(label), view(values.manufacture), view(values.Issuer),
                                          view(values.default_sopin.bytes()),
                                          view(values.default_upin.bytes())};
    const token::flows::FormatBlock block(texts, formatLimits(values));
    token::flows::FormatOutcome outcome;
    {
        const WaitCursor waitCursor;
        // A key never initialised has no SO PIN to prove (and the prompt never gives an empty one).
        outcome = token::flows::formatKey(key, block, soPin.isEmpty() ? nullptr : soPin.c_str(),
                                          i18n::text("PROVIDER_NAME").toLocal8Bit().toStdString());
    }
    if (outcome.result != token::flows::FormatResult::Formatted) {
        messageService().inform(&form_, formatRefusalText(outcome));
        return;
    }
    keepAsDefaults(values);
    form_.ScanKeys();
    messageService().inform(&form_, i18n::text("Change_Yes"));
}

void InitHandler::keepAsDefaults(const TZartoBaseInfo& values) {
    QString path;
    const bool written = initConfig().write([&](const QString& target) {
        path = target;
        return WriteInitConfig(target, values);
    });
    if (!written)
        messageService().reportError(&form_, QStringLiteral("Unable to write to %1").arg(path));
}

} // namespace ui
