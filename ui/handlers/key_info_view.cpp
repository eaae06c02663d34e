#include "key_info_view.h"

#include "message_text.h"

#include "i18n/string_table.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/main_form.h"
#include "ui/pages/key_info_page.h"

#include <QTableWidget>
#include <array>
#include <cstddef>

namespace ui {

namespace {

constexpr int32_t kUserPinType = 1;

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

std::array<InfoRow, 13> infoRows(const token::TZartoInfo& key, const token::TPinState& pin) {
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
        {"S_Key_Dead_State", lockText},
        {"K_Info_totalMemory", memoryText(key.totalMemory)},
        {"K_Info_freeMemory", memoryText(key.freeMemory)},
        {"K_Info_hardwareVer", versionText(key.hardwareVersion)},
        {"K_Info_firmVer", versionText(key.firmwareVersion)},
    }};
}

} // namespace

void AddInfoRow(QTableWidget* list, const QString& caption, const QString& value) {
    const int row = list->rowCount();
    list->insertRow(row);
    list->setItem(row, 0, new QTableWidgetItem(caption));
    list->setItem(row, 1, new QTableWidgetItem(value));
}

QString versionText(int32_t version) {
    // C++ division truncates toward zero and the remainder takes the sign of the dividend.
    return QString::asprintf("%d.%.2d", version / 256, version % 256);
}

QString keyLabel(const token::TZartoInfo& key) {
    return QString::fromUtf8(fieldBytes(key.label));
}

void ShowKeyInfo(TMainForm& form, int32_t slot) {
    if (slot < 0 || slot >= token::kKeySlots)
        return;
    token::KeyTable& table = token::keyTable();
    token::TZartoInfo& key = table.keys[slot];
    if (token::token_get_info(slot, key) != 0)
        return; // the rows of the last successful read stay
    token::token_get_pin_state(table.currentKey, kUserPinType, table.pinState);

    QTableWidget* lv = form.TabSheet1->lv;
    lv->setRowCount(0);
    for (const InfoRow& row : infoRows(key, table.pinState))
        AddInfoRow(lv, i18n::text(row.captionKey), row.value);
    lv->viewport()->update();
}

} // namespace ui
