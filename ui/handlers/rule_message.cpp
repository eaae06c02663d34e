#include "rule_message.h"

#include "i18n/string_table.h"
#include "message_text.h"

namespace ui {

QString ruleMessage(const i18n::RuleText& rule, int32_t code) {
    const QString text = i18n::text(rule.key);
    return rule.withCode ? text + i18n::text("K_ErrorCODE_Str") + QStringLiteral(" 0x") + errorCodeHex(code)
                         : text;
}

} // namespace ui
