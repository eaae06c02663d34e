// The system check page over made-up hosts: the five rows in order, the provider by its exact name, module
// files with and without versions, and the browser asked once a run.
#include "form_parts.h"
#include "main_form_fixture.h"
#include "ui/handlers/system_info_handler.h"
#include "ui/pages/system_check_page.h"

#include <QFile>
#include <QTableWidget>
#include <cstring>
#include <filesystem>

namespace {

class SystemInfoTest : public MainFormTest {
protected:
    SystemInfoTest() : root(QString::fromStdString(world.root().string())) {
        sources.osReleaseFiles = {root + QStringLiteral("/os-release")};
        sources.kernelRelease = [] { return QStringLiteral("6.1.0-test"); };
        sources.mimeappsFiles = {root + QStringLiteral("/mimeapps.list")};
        sources.applicationFolders = {root + QStringLiteral("/applications")};
        sources.fallbackBrowser = QStringLiteral("pellorzu-no-such-browser");
        sources.moduleConfigFolders = {root + QStringLiteral("/registrations")};
        sources.moduleFolder = root + QStringLiteral("/pkcs11");
        sources.libraryFolder = root + QStringLiteral("/lib");
        sources.versionTimeoutMs = 300;
        QDir().mkpath(sources.moduleFolder);
        QDir().mkpath(sources.libraryFolder);
    }

    void write(const QString& path, const QByteArray& content, bool executable = false) {
        ASSERT_TRUE(writeTestFile(path.toStdString(), content.toStdString(), executable));
    }
    void installBrowser(const QByteArray& script) {
        write(root + QStringLiteral("/bin/browser"), "#!/bin/sh\n" + script, true);
        write(root + QStringLiteral("/applications/web.desktop"),
              "[Desktop Entry]\nName=Web\nExec=\"" + (root + "/bin/browser").toUtf8() + "\" %U\n");
        write(root + QStringLiteral("/mimeapps.list"),
              "[Default Applications]\nx-scheme-handler/http=web.desktop\n");
    }
    QStringList column(int index) {
        QTableWidget* list = part<ui::SystemCheckPage>(form(), "TabSheet6")->LVSystemInfo;
        QStringList texts;
        for (int row = 0; row < list->rowCount(); ++row)
            texts << list->item(row, index)->text();
        return texts;
    }
    QStringList show() {
        part<ui::SystemInfoHandler>(form(), "systemInfoHandler")->setHostSources(sources);
        form().ShowSystemInfo();
        return column(1);
    }

    QString root;
    platform::HostSources sources;
};

} // namespace

TEST_F(SystemInfoTest, ABareHostGivesTheKernelAndEmptyOrAbsentValues) {
    EXPECT_EQ(show(), (QStringList{QStringLiteral("Linux (Kernel 6.1.0-test)"), QString(),
                                   QStringLiteral("未安装"), QString(), QString()}));
    EXPECT_EQ(column(0), (QStringList{QStringLiteral("操作系统版本"), QStringLiteral("浏览器版本"),
                                      QStringLiteral("CSP安装"), QStringLiteral("CSP版本"),
                                      QStringLiteral("PKCS11版本")}));
    // Each visit rebuilds the list.
    EXPECT_EQ(show().size(), 5);
}

TEST_F(SystemInfoTest, AHostWithBrowserProviderAndVersionedModules) {
    write(root + QStringLiteral("/os-release"), "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    installBrowser("echo 'Web 115.0.2'\n");
    write(root + QStringLiteral("/registrations/Norvale Tessra Zarto CSP V1.1.module"), "module: x.so\n");
    write(root + QStringLiteral("/pkcs11/ZartoCSP11.so.2.1"), "");
    std::filesystem::create_symlink("ZartoCSP11.so.2.1", world.root() / "pkcs11" / "ZartoCSP11.so");
    // The PKCS#11 module is only in the system library folder.
    write(root + QStringLiteral("/lib/zarto_pkcs11.so.3.0.0.7"), "");
    std::filesystem::create_symlink("zarto_pkcs11.so.3.0.0.7", world.root() / "lib" / "zarto_pkcs11.dll");
    EXPECT_EQ(show(), (QStringList{QStringLiteral("Debian GNU/Linux 12 (bookworm) (Kernel 6.1.0-test)"),
                                   QStringLiteral("Web Version：115.0.2"), QStringLiteral("已安装"),
                                   QStringLiteral("2.1.0.0"), QStringLiteral("3.0.0.7")}));
}

TEST_F(SystemInfoTest, AProviderNamedInAnotherLetterCaseIsNotInstalled) {
    write(root + QStringLiteral("/registrations/norvale tessra zarto csp v1.1.module"), "");
    EXPECT_EQ(show().at(2), QStringLiteral("未安装"));
    library.quillard_provider_name = [] { return "Norvale Tessra Zarto CSP V1.1"; };
    EXPECT_EQ(show().at(2), QStringLiteral("已安装"));
}

TEST_F(SystemInfoTest, AHangingBrowserHasNoVersionAndIsAskedOnceARun) {
    installBrowser("echo asked >> \"" + (root + "/asked").toUtf8() + "\"\nexec sleep 30\n");
    EXPECT_EQ(show().at(1), QStringLiteral("Web Version："));
    form().ShowSystemInfo();
    EXPECT_EQ(column(1).at(1), QStringLiteral("Web Version："));
    QFile asked(root + QStringLiteral("/asked"));
    ASSERT_TRUE(asked.open(QIODevice::ReadOnly));
    EXPECT_EQ(asked.readAll(), QByteArray("asked\n"));
}

TEST_F(SystemInfoTest, TheMakersModulesAreTheLibraryWithItsVersion) {
    write(root + QStringLiteral("/lib/libquillard.so.1.0.0.1"), "");
    const std::string own = (world.root() / "lib" / "libquillard.so.1.0.0.1").string();
    library.quillard_module_file = [own](const char* name, char* buffer, int32_t* length) {
        if (std::string(name) != "zarto_pkcs11.dll")
            return int32_t(0x0A000001);
        std::memcpy(buffer, own.c_str(), own.size() + 1);
        *length = static_cast<int32_t>(own.size() + 1);
        return int32_t(0);
    };
    EXPECT_EQ(show().at(4), QStringLiteral("1.0.0.1"));
    EXPECT_EQ(column(1).at(3), QString());
}
