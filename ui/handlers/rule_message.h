// The window's text of a message rule of i18n/enrolment_texts.h: the string-table text, followed by the
// error-code caption and the library's code when the rule asks for it.
#pragma once

#include "i18n/enrolment_texts.h"

#include <QString>
#include <cstdint>

namespace ui {

QString ruleMessage(const i18n::RuleText& rule, int32_t code);

} // namespace ui
