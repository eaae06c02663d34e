// Pictures of the screen for people to look at, taken by the disabled screenshot tests that
// scripts/screenshots.sh runs on Xvfb: the whole X screen, saved with `import -window root`.
#pragma once

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
