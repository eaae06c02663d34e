// MgrConfig.ini: Base64 text (over any number of lines, blanks allowed) of an XML document
//   <anyRoot><BaseInfo>
//     <OpenURL OpenMode="1" URL="https://..." BrowserMode="0"/>
//     <CertEndDay CertDayMode="0" CertDay="30"/>
//     <LanguageID>2052</LanguageID>
//     <DefaultPIN>1</DefaultPIN>
//   </BaseInfo></anyRoot>
// The program only reads it.
#pragma once

#include "config_info.h"

#include <QString>

// Resets `config` to zero, then reads OpenMode, URL, BrowserMode, CertDayMode, CertDay, LanguageID and
// DefaultPIN in that order; an empty DefaultPIN reads as 1. Returns 0 when all were read; 1 when the file is
// missing or the read stopped at a field it could not read (not Base64 of XML, a missing element or
// attribute, a value that is not a decimal number): the fields before it keep their values, the rest stay 0.
int ReadMgrConfig(const QString& path, TConfigInfo& config);
