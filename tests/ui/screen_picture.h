// Pictures of the screen for people to look at, taken by the disabled screenshot tests that
// scripts/screenshots.sh runs on Xvfb: the whole X screen, saved with `import -window root`.
#pragma once

#include "form_parts.h"
#include "i18n/string_table.h"
#include "ui/apply_language.h"
#include "ui/main_form.h"

#include <QProcess>
#include <QString>
#include <QTest>

#include <gtest/gtest.h>

// Lets the window paint, then saves the screen as SCREENSHOT_DIR/`name`.png.
inline void saveScreenPicture(const QString& name) {
    QTest::qWait(300);
    const QString path = qEnvironmentVariable("SCREENSHOT_DIR") + QLatin1Char('/') + name + ".png";
    EXPECT_EQ(QProcess::execute(QStringLiteral("import"), {"-window", "root", path}), 0)
        << path.toStdString();
}

// The window in the shipped language of `file` ("CHS_2052", "EN_1033"): the language applied, the tree built
// again in it (its texts are those of the language it was built in, as the language choice knows) and the
// keys scanned.
inline void showInLanguage(TMainForm& form, const char* file) {
    i18n::LoadLanguageFile(QStringLiteral(PELLORZU_SOURCE_DIR "/Languages/%1.lng").arg(file));
    ApplyLanguage(form);
    form.BuildRootNodes();
    form.ScanKeys();
    waitForKeyOperations(form);
}
