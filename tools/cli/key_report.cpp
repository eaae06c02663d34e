#include "key_report.h"

#include "cli_texts.h"
#include "token/key_table.h"
#include "token/lib/utf8_text.h"
#include "token/token_ops.h"

#include <algorithm>
#include <cstring>

namespace cli {

namespace {

const token::TZartoInfo& recordOf(const FoundKey& key) {
    return token::keyTable().keys[key.slot];
}

QString field(const char* bytes, std::size_t size) {
    return QString::fromUtf8(bytes, static_cast<qsizetype>(strnlen(bytes, size))).trimmed();
}

// A label for a line of text on the terminal, its control characters escaped (JSON escapes its own).
QString printableLabel(const char* bytes, std::size_t size) {
    const QByteArray utf8 = field(bytes, size).toUtf8();
    return QString::fromStdString(quillard::escapeControls(std::string_view(utf8.constData(), utf8.size())));
}

QString eightBit(const char* bytes, std::size_t size) {
    return QString::fromLocal8Bit(bytes, static_cast<qsizetype>(strnlen(bytes, size))).trimmed();
}

token::TPinState pinState(const FoundKey& key, token::PinType type) {
    token::TPinState state{};
    token::token_get_pin_state(key.slot, type, state);
    return state;
}

// A count or memory figure the key does not tell (PKCS#11 tokens give PIN flags only, and may keep their
// memory to themselves) is negative: JSON null.
QJsonValue countJson(int32_t count) {
    return count < 0 ? QJsonValue() : QJsonValue(count);
}

QJsonObject pinJson(const token::TPinState& state) {
    return {{QStringLiteral("retriesLeft"), countJson(state.retriesLeft)},
            {QStringLiteral("maxRetries"), countJson(state.maxRetries)},
            {QStringLiteral("locked"), state.locked == 1}};
}

QString countText(int32_t count) {
    return count < 0 ? QStringLiteral("?") : QString::number(count);
}

QString pinText(const FoundKey& key, token::PinType type) {
    if (recordOf(key).initialised == 0)
        return QStringLiteral("-");
    const token::TPinState state = pinState(key, type);
    if (state.locked == 1)
        return text("Locked");
    return text("TriesLeft").arg(countText(state.retriesLeft), countText(state.maxRetries));
}

QString versionText(int32_t version) {
    return QStringLiteral("%1.%2").arg(version / 256).arg(version % 256);
}

// Terminal cells a text takes: two for CJK, Hangul and full-width forms, one for the rest.
int cellsOf(const QString& value) {
    int cells = 0;
    for (const char32_t code : value.toUcs4()) {
        const bool wide = (code >= 0x2E80 && code <= 0xD7FF) || (code >= 0xFF00 && code <= 0xFF60) ||
                          (code >= 0x20000 && code <= 0x3FFFF);
        cells += wide ? 2 : 1;
    }
    return cells;
}

// `value` padded to `width` terminal cells, and the blank between columns.
QString cell(const QString& value, int width) {
    return value + QString(std::max(width - cellsOf(value), 0) + 1, QLatin1Char(' '));
}

} // namespace

QJsonObject keyJson(const FoundKey& key, bool details) {
    const token::TZartoInfo& record = recordOf(key);
    QJsonObject json{
        {QStringLiteral("serial"), QString::fromStdString(key.serial)},
        {QStringLiteral("module"), QString::fromStdString(key.module)},
        {QStringLiteral("label"), field(record.label, sizeof record.label)},
        {QStringLiteral("manufacturer"), eightBit(record.manufacturer, sizeof record.manufacturer)},
        {QStringLiteral("model"), eightBit(record.model, sizeof record.model)},
        {QStringLiteral("initialised"), record.initialised != 0},
        {QStringLiteral("userPin"), pinJson(pinState(key, token::PinType::User))},
        {QStringLiteral("soPin"), pinJson(pinState(key, token::PinType::So))},
        {QStringLiteral("totalMemory"), countJson(record.totalMemory)},
        {QStringLiteral("freeMemory"), countJson(record.freeMemory)}};
    if (details) {
        json.insert(QStringLiteral("minPinLength"), record.minPinLength);
        json.insert(QStringLiteral("maxPinLength"), record.maxPinLength);
        json.insert(QStringLiteral("minSoPinLength"), record.minSoPinLength);
        json.insert(QStringLiteral("hardwareVersion"), versionText(record.hardwareVersion));
        json.insert(QStringLiteral("firmwareVersion"), versionText(record.firmwareVersion));
    }
    return json;
}

QStringList keyLines(const FoundKey& key) {
    const token::TZartoInfo& record = recordOf(key);
    auto line = [](const QString& caption, const QString& value) {
        return caption + QStringLiteral(": ") + value;
    };
    return {line(windowText("K_Info_Sn"), QString::fromStdString(key.serial)),
            line(text("Module"), QString::fromStdString(key.module)),
            line(windowText("K_Info_labelName"), printableLabel(record.label, sizeof record.label)),
            line(windowText("K_Info_manufacture"), eightBit(record.manufacturer, sizeof record.manufacturer)),
            line(windowText("K_Info_model"), eightBit(record.model, sizeof record.model)),
            line(text("Initialised"), text(record.initialised != 0 ? "Yes" : "No")),
            line(text("UserPin"), pinText(key, token::PinType::User)),
            line(text("SoPin"), pinText(key, token::PinType::So)),
            line(windowText("K_Info_minPinLen"), QString::number(record.minPinLength)),
            line(windowText("K_Info_maxPinLen"), QString::number(record.maxPinLength)),
            line(windowText("K_Info_SOPIN_minPinLen"), QString::number(record.minSoPinLength)),
            line(windowText("K_Info_totalMemory"), countText(record.totalMemory)),
            line(windowText("K_Info_freeMemory"), countText(record.freeMemory)),
            line(windowText("K_Info_hardwareVer"), versionText(record.hardwareVersion)),
            line(windowText("K_Info_firmVer"), versionText(record.firmwareVersion))};
}

QString keyTableHeader() {
    return cell(text("ColumnSerial"), 18) + cell(text("ColumnModule"), 9) + cell(text("ColumnLabel"), 20) +
           cell(text("ColumnInitialised"), 5) + cell(text("ColumnUserPin"), 12) +
           cell(text("ColumnSoPin"), 12) + text("ColumnMemory");
}

QString keyTableRow(const FoundKey& key) {
    const token::TZartoInfo& record = recordOf(key);
    return cell(QString::fromStdString(key.serial), 18) + cell(QString::fromStdString(key.module), 9) +
           cell(printableLabel(record.label, sizeof record.label), 20) +
           cell(text(record.initialised != 0 ? "Yes" : "No"), 5) +
           cell(pinText(key, token::PinType::User), 12) + cell(pinText(key, token::PinType::So), 12) +
           QStringLiteral("%1/%2").arg(countText(record.freeMemory), countText(record.totalMemory));
}

} // namespace cli
