// Initconfig.ini: the [InitData] section with the administrator's defaults for initialising a key. The two
// PINs are kept there in clear: the administrator's defaults include them, and this is the one file that
// holds a PIN.
#pragma once

#include "zarto_base_info.h"

#include <QString>

// The file's path inside the program folder (see SettingsFile for where it is read and written).
namespace config {
inline constexpr char kInitConfigFile[] = "Initconfig.ini";
}

// Reads the twelve keys of [InitData] into `baseInfo`. A missing key gives empty text or the integer default
// (retry counts 10, minimum lengths 4, maximum lengths 32); so does a count that is not a whole decimal or 0x
// hexadecimal number. Returns 0 on success, 1 when the file is missing or unreadable (`baseInfo` is
// untouched).
int ReadInitConfig(const QString& path, TZartoBaseInfo& baseInfo);

// Writes the twelve keys of [InitData] (integers in decimal), creating the file when needed and keeping its
// other lines. All keys are written in one replacement of the file; returns false, with the file untouched,
// when it cannot be written. A file it creates is readable by its owner only (it holds PINs); an existing
// file keeps its mode.
bool WriteInitConfig(const QString& path, const TZartoBaseInfo& baseInfo);
