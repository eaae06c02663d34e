// The administrator's defaults for initialising a key, kept in the [InitData] section of Initconfig.ini. The
// label is Unicode text; the other texts are 8-bit text in the locale's encoding, the PINs in buffers that
// wipe themselves.
#pragma once

#include "platform/secret_bytes.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

struct TZartoBaseInfo {
    QString LabelName;      // key label
    QByteArray manufacture; // manufacturer
    QByteArray Issuer;
    platform::SecretBytes default_sopin; // SO PIN
    platform::SecretBytes default_upin;  // user PIN
    qint32 uPinRetryTimes = 0;
    qint32 soPinRetryTimes = 0;
    qint32 minUPINLen = 0;
    qint32 maxUPINLen = 0;
    qint32 minSOPINLen = 0;
    qint32 maxSOPINLen = 0;
    QByteArray ISOFile;
};
