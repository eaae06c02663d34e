// Host facts read from made-up hosts: os-release files, default browsers (one that hangs on --version),
// p11-kit registrations and module files with and without versions.
#include "platform/default_browser.h"
#include "platform/host_sources.h"
#include "platform/module_files.h"
#include "platform/os_version.h"
#include "tests/common/temp_world.h"

#include <QDir>
#include <QFile>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class HostFactsTest : public ::testing::Test {
protected:
    HostFactsTest() : root(QString::fromStdString(world.root().string())) {
        sources.osReleaseFiles = {root + QStringLiteral("/etc/os-release"),
                                  root + QStringLiteral("/usr/lib/os-release")};
        sources.kernelRelease = [] { return QStringLiteral("6.1.0-18-amd64"); };
        sources.mimeappsFiles = {root + QStringLiteral("/config/mimeapps.list")};
        sources.applicationFolders = {root + QStringLiteral("/applications")};
        sources.fallbackBrowser = QStringLiteral("pellorzu-no-such-browser");
        sources.moduleConfigFolders = {root + QStringLiteral("/modules-user"),
                                       root + QStringLiteral("/modules")};
        sources.versionTimeoutMs = 300;
    }

    void write(const QString& relative, const QByteArray& content, bool executable = false) {
        ASSERT_TRUE(writeTestFile((root + QLatin1Char('/') + relative).toStdString(), content.toStdString(),
                                  executable));
    }
    // A browser program and its desktop entry, set as the default for https.
    void installBrowser(const QByteArray& script) {
        write(QStringLiteral("bin/browser"), "#!/bin/sh\n" + script, true);
        write(QStringLiteral("applications/web.desktop"),
              "[Desktop Entry]\nVersion=1.0\nName=Web Browser\nExec=" + (root + "/bin/browser").toUtf8() +
                  " %u\n[Desktop Action New]\nName=New Window\n");
        write(QStringLiteral("config/mimeapps.list"),
              "[Added Associations]\nx-scheme-handler/https=other.desktop;\n"
              "[Default Applications]\nx-scheme-handler/https=web.desktop;other.desktop;\n");
    }

    TempWorld world;
    QString root;
    platform::HostSources sources;
};

} // namespace

TEST_F(HostFactsTest, OperatingSystemFromOsReleaseAndTheKernel) {
    EXPECT_EQ(platform::osVersionText(sources), QStringLiteral("Linux (Kernel 6.1.0-18-amd64)"));

    write(QStringLiteral("usr/lib/os-release"), "NAME='Pellor OS'\nVERSION=\"7 (\\\"Sly\\\")\"\n");
    EXPECT_EQ(platform::osVersionText(sources),
              QStringLiteral("Pellor OS 7 (\"Sly\") (Kernel 6.1.0-18-amd64)"));

    // The first file counts, and its PRETTY_NAME wins over NAME and VERSION.
    write(QStringLiteral("etc/os-release"),
          "# comment\nNAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    sources.kernelRelease = [] { return QString(); };
    EXPECT_EQ(platform::osVersionText(sources), QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
}

TEST_F(HostFactsTest, DefaultBrowserNamesItsEntryAndAsksTheProgramForItsVersion) {
    installBrowser("echo \"Web Browser 128.3.1esr, built on 1.0\"\n");
    const platform::BrowserFacts browser = platform::defaultBrowser(sources);
    EXPECT_EQ(browser.name, QStringLiteral("Web Browser"));
    // Not the desktop entry's Version key (the format version 1.0).
    EXPECT_EQ(browser.version, QStringLiteral("128.3.1"));
}

TEST_F(HostFactsTest, ABrowserThatHangsOnVersionIsStoppedAndHasNoVersion) {
    installBrowser("exec sleep 30\n");
    const platform::BrowserFacts browser = platform::defaultBrowser(sources);
    EXPECT_EQ(browser.name, QStringLiteral("Web Browser"));
    EXPECT_TRUE(browser.version.isEmpty());
}

TEST_F(HostFactsTest, NoDefaultAndNoBrowserCommandGiveNothing) {
    const platform::BrowserFacts browser = platform::defaultBrowser(sources);
    EXPECT_TRUE(browser.name.isEmpty());
    EXPECT_TRUE(browser.version.isEmpty());
}

TEST_F(HostFactsTest, RegisteredModulesAreTheModuleFileNamesOnce) {
    write(QStringLiteral("modules/p11-kit-trust.module"), "module: p11-kit-trust.so\n");
    write(QStringLiteral("modules/opensc.module"), "module: opensc-pkcs11.so\n");
    write(QStringLiteral("modules-user/opensc.module"), "disable-in: x\n");
    write(QStringLiteral("modules/README"), "not a module\n");
    EXPECT_EQ(platform::registeredModules(sources),
              (QStringList{QStringLiteral("opensc"), QStringLiteral("p11-kit-trust")}));
}

TEST_F(HostFactsTest, ModuleFilesAreFoundWithTheirOwnOrASharedObjectExtension) {
    const QString folder = root + QStringLiteral("/lib");
    EXPECT_EQ(platform::moduleFilePath(folder, QStringLiteral("vendor.dll")),
              folder + QStringLiteral("/vendor.dll"));
    write(QStringLiteral("lib/vendor.so"), "");
    EXPECT_EQ(platform::moduleFilePath(folder, QStringLiteral("vendor.dll")),
              folder + QStringLiteral("/vendor.so"));
    write(QStringLiteral("lib/vendor.dll"), "");
    EXPECT_EQ(platform::moduleFilePath(folder, QStringLiteral("vendor.dll")),
              folder + QStringLiteral("/vendor.dll"));
}

TEST_F(HostFactsTest, FileVersionsComeFromVersionedFileNames) {
    namespace fs = std::filesystem;
    const fs::path lib = world.root() / "lib";
    write(QStringLiteral("lib/libfoo.so.8.0.0"), "");
    write(QStringLiteral("lib/libbar.so.1.2.3.4.5"), "");
    write(QStringLiteral("lib/plain.so"), "");
    fs::create_symlink("libfoo.so.8.0.0", lib / "libfoo.so");
    fs::create_symlink("loop-b.so", lib / "loop-a.so");
    fs::create_symlink("loop-a.so", lib / "loop-b.so");
    fs::create_symlink("gone.so.1", lib / "dangling.so");
    const QString folder = root + QStringLiteral("/lib/");
    EXPECT_EQ(platform::fileVersionText(folder + QStringLiteral("libfoo.so")), QStringLiteral("8.0.0.0"));
    EXPECT_EQ(platform::fileVersionText(folder + QStringLiteral("libbar.so.1.2.3.4.5")),
              QStringLiteral("1.2.3.4"));
    EXPECT_EQ(platform::fileVersionText(folder + QStringLiteral("plain.so")), QString());
    EXPECT_EQ(platform::fileVersionText(folder + QStringLiteral("missing.so")), QString());
    EXPECT_EQ(platform::fileVersionText(folder + QStringLiteral("dangling.so")), QString());
    EXPECT_EQ(platform::fileVersionText(folder + QStringLiteral("loop-a.so")), QStringLiteral("-1"));
}
