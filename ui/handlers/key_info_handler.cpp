#include "key_info_handler.h"

#include "i18n/string_table.h"
#include "key_info_view.h"
#include "message_text.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/key_operation_runner.h"
#include "ui/pages/key_info_page.h"

#include <QTableWidget>
#include <array>
#include <optional>

namespace ui {

namespace {

struct InfoRow {
    const char* captionKey;
    QString value;
};

// The bytes of a fixed-size text field up to its first zero byte; a field without one is taken whole.
template <std::size_t N> QByteArrayView fieldBytes(const char (&field)[N]) {
    return QByteArrayView(field, static_cast<qsizetype>(qstrnlen(field, N)));
}

// A text field in the locale's 8-bit encoding (serial, manufacturer, model).
template <std::size_t N> QString localText(const char (&field)[N]) {
    return QString::fromLocal8Bit(fieldBytes(field));
}

QString decimal(int32_t value) {
    return QString::number(value);
}

// A memory figure the token does not tell shows as "-"; every other value as the number it is.
QString memoryText(int32_t value) {
    return value == QUILLARD_MEMORY_UNKNOWN ? QStringLiteral("-") : decimal(value);
}

std::array<InfoRow, 14> infoRows(const token::TZartoInfo& key, const token::TPinState& pin,
                                 const token::TPinState& soPin) {
    const QString lockText = i18n::text(pin.locked != 0 ? "S_Key_Dead_Yes" : "S_Key_Dead_No");
    return {{
        {"K_Info_labelName", keyLabel(key)},
        {"K_Info_manufacture", localText(key.manufacturer)},
        {"K_Info_model", localText(key.model)},
        {"K_Info_Sn", localText(key.serial)},
        {"K_Info_maxPinLen", decimal(key.maxPinLength)},
        {"K_Info_minPinLen", decimal(key.minPinLength)},
        {"Admin_label_TryCount", countText(pin.maxRetries)},
        {"S_KeyTryTime", countText(pin.retriesLeft)},
        {"K_Info_SOPIN_Left", countText(soPin.retriesLeft)},
        {"S_Key_Dead_State", lockText},
        {"K_Info_totalMemory", memoryText(key.totalMemory)},
        {"K_Info_freeMemory", memoryText(key.freeMemory)},
        {"K_Info_hardwareVer", versionText(key.hardwareVersion)},
        {"K_Info_firmVer", versionText(key.firmwareVersion)},
    }};
}

} // namespace

KeyInfoHandler::KeyInfoHandler(KeyInfoPage& page, KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), runner_(runner) {
    setObjectName(QStringLiteral("keyInfoHandler"));
}

void KeyInfoHandler::ShowKeyInfo(int32_t slot) {
    if (slot < 0 || slot >= token::kKeySlots)
        return;
    runner_.run(
        [slot, current = token::keyTable().currentKey]() -> std::optional<token::TPinState> {
            token::KeyTable& table = token::keyTable();
            if (token::token_get_info(slot, table.keys[slot]) != 0)
                return std::nullopt; // the rows of the last successful read stay
            token::token_get_pin_state(current, token::PinType::User, table.pinState);
            token::TPinState soPin{};
            token::token_get_pin_state(current, token::PinType::So, soPin);
            return soPin;
        },
        [this, slot](const std::optional<token::TPinState>& soPin) {
            if (soPin)
                showRows(token::keyTable().keys[slot], token::keyTable().pinState, *soPin);
        });
}

void KeyInfoHandler::showRows(const token::TZartoInfo& key, const token::TPinState& pin,
                              const token::TPinState& soPin) {
    QTableWidget* lv = page_.lv;
    lv->setRowCount(0);
    for (const InfoRow& row : infoRows(key, pin, soPin))
        AddInfoRow(lv, i18n::text(row.captionKey), row.value);
    lv->viewport()->update();
}

void KeyInfoHandler::forgetKey() {
    page_.lv->setRowCount(0);
}

} // namespace ui
