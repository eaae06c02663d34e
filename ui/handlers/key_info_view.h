// What the report lists of the window share: one caption/value row, a version field as text, and a key's
// label as text.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

class QTableWidget;

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

} // namespace ui
