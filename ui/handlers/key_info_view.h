// The key information page: thirteen caption/value rows describing what a key reports about itself.
#pragma once

#include <QString>
#include <cstdint>

class QTableWidget;
class TMainForm;

namespace token {
struct TZartoInfo;
}

namespace ui {

// Appends one row to a report list: `caption` in the first column, `value` in the second.
void AddInfoRow(QTableWidget* list, const QString& caption, const QString& value);

// A version field (major * 256 + minor) as "%d.%.2d" with truncating signed division: 258 -> "1.02",
// 0x0164 -> "1.100", -257 -> "-1.-01".
QString versionText(int32_t version);

// The label of `key` decoded as UTF-8, up to its first zero byte or the end of its 129 bytes, untrimmed.
QString keyLabel(const token::TZartoInfo& key);

// Refreshes the key information of `slot` and fills lv; a failed information read changes nothing.
void ShowKeyInfo(TMainForm& form, int32_t slot);

} // namespace ui
