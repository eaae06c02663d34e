// The user's settings read from MgrConfig.ini: what happens when a key is plugged in, plus values that are
// carried without effect. A default-constructed record is the zero-filled record the reader starts from.
#pragma once

#include <QString>
#include <QtGlobal>

struct TConfigInfo {
    qint32 OpenMode = 0;    // 1: open URL after a scan triggered by a plugged-in key finds keys
    QString URL;            // the address to open
    qint32 BrowserMode = 0; // how the address is opened
    qint32 CertDayMode = 0;
    qint32 CertDay = 0;
    qint32 LanguageID = 0;
    qint32 DefaultPIN = 0;
};
