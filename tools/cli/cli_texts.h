// The texts of pellorzu-cli in the language of the environment: Chinese when LC_ALL, LC_MESSAGES or LANG
// (the first one set) starts with "zh", English otherwise. The window's texts come from its string table
// with the matching language file; the command line's own texts from the [CommandLine] section of the same
// file, with the English text built in for a file that lacks one.
#pragma once

#include "i18n/outcome_texts.h"

#include <QString>
#include <cstdint>
#include <string>

namespace cli {

// Loads the language file of the environment's language from `languagesFolder`.
void loadLanguage(const QString& languagesFolder);
bool chineseEnvironment();

// The command line's own text `key`.
QString text(const char* key);
// The usage text of `command` in the environment's language: the language file's Usage_COMMAND, or the
// command's own English text.
std::string usageText(const std::string& command, const std::string& english);
// The window's text `key`, without the line breaks (\r) the message boxes use.
QString windowText(const char* key);
// The window's texts as the command line writes them: without line breaks, two texts joined by ". ".
const i18n::TextStyle& cliStyle();
// The window's text `key` with its count placeholder (%d) filled in.
QString countText(const char* key, int32_t count);
// "0x0A000030", the form every message gives a library code in.
QString codeText(int32_t code);
// `message` followed by the window's error-code caption and the code, as the window shows a failure.
QString failureText(const QString& message, int32_t code);

// UTF-8 for the terminal.
std::string utf8(const QString& text);

} // namespace cli
