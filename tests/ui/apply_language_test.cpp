// Putting the string table onto the window: captions with and without the added colon, action captions, list
// headers, tabs, the title with the program version and the window font.
#include "form_parts.h"
#include "main_form_fixture.h"
#include "ui/apply_language.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

namespace {

// Writes a UTF-16LE language file with section Caption and the given lines.
QString writeLanguageFile(const QString& folder, const QString& name, const QStringList& lines) {
    const QString path = folder + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    const QString text =
        QStringLiteral("[Caption]\r\n") + lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    file.write("\xFF\xFE", 2);
    file.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return path;
}

QString headerText(QTableWidget* list, int column) {
    return list->horizontalHeaderItem(column)->text();
}

} // namespace

TEST_F(MainFormTest, BuiltInTextsGiveChineseCaptionsWithOneColonEach) {
    TMainForm& window = form();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("PKI管理工具     V1.0.0.1"));
    // The About page names the program and its version.
    EXPECT_EQ(find<QLabel>("lblProgramVersion")->text(), QStringLiteral("PKI管理工具  V1.0.0.1"));
    // The built-in text already ends in a full-width colon, so none is added.
    EXPECT_EQ(find<QLabel>("Label14")->text(), QStringLiteral("您准备登录的USBKey为："));
    EXPECT_EQ(find<QLabel>("LInit_SOPIN")->text(), QStringLiteral("SO PIN:"));
    EXPECT_EQ(find<QLabel>("label_language")->text(), QStringLiteral("语言"));
    EXPECT_EQ(find<QPushButton>("btnlogon")->text(), QStringLiteral("登录(&L)"));
    EXPECT_EQ(find<QTabWidget>("PCInit")->tabText(2), QStringLiteral("用户密码"));
    EXPECT_EQ(window.font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(window.font().pointSize(), 9);
}

TEST_F(MainFormTest, EnglishFileTurnsEveryCaptionToEnglish) {
    TMainForm& window = form();
    i18n::LoadLanguageFile(QStringLiteral(PELLORZU_SOURCE_DIR "/Languages/EN_1033.lng"));
    ApplyLanguage(window);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("PKI Management Tool     V1.0.0.1"));
    EXPECT_EQ(find<QLabel>("lblProgramVersion")->text(), QStringLiteral("PKI Management Tool  V1.0.0.1"));
    EXPECT_EQ(window.font().family(), QStringLiteral("DejaVu Sans Condensed"));
    EXPECT_EQ(part<QTreeWidget>(window, "tv")->topLevelItem(0)->text(0), QStringLiteral("USBKey List"));
    EXPECT_EQ(headerText(find<QTableWidget>("lv"), 0), QStringLiteral("Field"));
    EXPECT_EQ(headerText(find<QTableWidget>("lv"), 1), QStringLiteral("Value"));
    EXPECT_EQ(headerText(find<QTableWidget>("LVSystemInfo"), 0), QStringLiteral("System Check"));
    EXPECT_EQ(find<QPushButton>("Button7")->text(), QStringLiteral("Refresh"));
    EXPECT_EQ(find<QPushButton>("Button9")->text(), i18n::text("K_Logout"));
    EXPECT_EQ(find<QPushButton>("btnOK")->text(), QStringLiteral("Change"));
    EXPECT_EQ(find<QLabel>("Label14")->text(), QStringLiteral("You are logging in to the USBKey:"));
    EXPECT_EQ(find<QLabel>("LAdmin_ISOPath")->text(), QStringLiteral("ISO File:"));
    EXPECT_EQ(find<QLabel>("Label17")->text(), QStringLiteral("Website"));
    EXPECT_EQ(find<QLabel>("Label20")->text(), i18n::text("About_Form_Label_URL_Info"));
    EXPECT_EQ(find<QTabWidget>("PCInit")->tabText(0), QStringLiteral("Basic Information"));
    EXPECT_EQ(find<QAction>("AcDelCert")->text(), i18n::text("K_Cert_Del"));
    // No caption is left in Chinese.
    for (QLabel* label : window.findChildren<QLabel*>()) {
        for (QChar character : label->text())
            EXPECT_LT(character.unicode(), 0x2E80) << label->objectName().toStdString();
    }
}

TEST_F(MainFormTest, EveryCaptionIsTakenFromTheStringTable) {
    TMainForm& window = form();
    QStringList lines;
    for (const QString& key : i18n::stringTableKeys())
        if (!key.startsWith(QStringLiteral("Font")))
            lines.append(key + QStringLiteral("=<") + key + QLatin1Char('>'));
    lines.append(QStringLiteral("FontSize=11"));
    lines.append(QStringLiteral("FontName=Courier"));
    i18n::LoadLanguageFile(writeLanguageFile(programFolder, QStringLiteral("keys.lng"), lines));
    ApplyLanguage(window);
    const std::pair<const char*, const char*> colonLabels[] = {
        {"Label2", "UPINSet_Form_OldPIN"},    {"Label8", "KeyName_Form_Lable"},
        {"RzLabel1", "Lonin_Form_lable_Key"}, {"lINit_PINLenMax", "K_Info_maxPinLen"},
        {"LInit_Model", "K_Info_Issuer"},     {"LAdmin_new_SOPIN2", "Admin_label_NewSOPIN2"},
        {"LAdmin_UPIN", "Admin_label_UPIN"},  {"LInit_TryCount_SOPIN", "K_Info_SOPIN_TryCount"}};
    for (const auto& [label, key] : colonLabels)
        EXPECT_EQ(find<QLabel>(label)->text(), QStringLiteral("<%1>:").arg(key)) << label;
    EXPECT_EQ(find<QLabel>("Label15")->text(), "<About_Form_label_CopyRight>");
    const std::pair<const char*, const char*> actionCaptions[] = {
        {"AcLogin", "Login_Form_btn_OK"},   {"AcSetKeyName", "C_btn_Set"},
        {"AcDownISO", "Admin_btn_DownISO"}, {"AcRegCert", "K_Cert_Reg"},
        {"AcUnRegCert", "K_Cert_UnReg"},    {"Acrefresh", "Main_Form_btn_Refresh"}};
    for (const auto& [action, key] : actionCaptions)
        EXPECT_EQ(find<QAction>(action)->text(), QStringLiteral("<%1>").arg(key)) << action;
    EXPECT_EQ(find<QTabWidget>("PCInit")->tabText(1), "<Admin_label_SOPIN>");
    EXPECT_EQ(window.windowTitle(), QStringLiteral("<P_Caption>  V1.0.0.1"));
    EXPECT_EQ(window.font().pointSize(), 11);
    // Texts that do not depend on the language stay as they are.
    EXPECT_EQ(find<QLabel>("Label23")->text(), "(4--16)");
    EXPECT_EQ(find<QLabel>("Label10")->text(), "0");
}

TEST_F(MainFormTest, ACaptionEndingInEitherColonGetsNoSecondOne) {
    i18n::LoadLanguageFile(writeLanguageFile(programFolder, QStringLiteral("colons.lng"),
                                             {QStringLiteral("Login_Form_label_keyname=Key:"),
                                              QStringLiteral("UPINSet_Form_OldPIN=旧口令："),
                                              QStringLiteral("UPINSet_Form_NewPIN1=New PIN")}));
    ApplyLanguage(form());
    EXPECT_EQ(find<QLabel>("Label14")->text(), QStringLiteral("Key:"));
    EXPECT_EQ(find<QLabel>("Label2")->text(), QStringLiteral("旧口令："));
    EXPECT_EQ(find<QLabel>("Label3")->text(), QStringLiteral("New PIN:"));
}

TEST_F(MainFormTest, FontSizeThatIsNotANumberKeepsTheSizeAndTheOtherSteps) {
    TMainForm& window = form();
    const int size = window.font().pointSize();
    i18n::LoadLanguageFile(
        writeLanguageFile(programFolder, QStringLiteral("bad.lng"),
                          {QStringLiteral("FontSize=large"), QStringLiteral("P_Caption=Tool"),
                           QStringLiteral("Config_Form_Language=Speech")}));
    ApplyLanguage(window);
    EXPECT_EQ(window.font().pointSize(), size);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tool  V1.0.0.1"));
    EXPECT_EQ(find<QLabel>("label_language")->text(), "Speech");
}

TEST_F(MainFormTest, LabelsWithTheirOwnFontsKeepThemWhenTheWindowFontChanges) {
    TMainForm& window = form();
    i18n::LoadLanguageFile(
        writeLanguageFile(programFolder, QStringLiteral("big.lng"),
                          {QStringLiteral("FontSize=20"), QStringLiteral("FontName=Courier")}));
    ApplyLanguage(window);
    const QFont keyName = find<QWidget>("Lkeyname")->font();
    EXPECT_EQ(keyName.pixelSize(), 14);
    EXPECT_TRUE(keyName.bold());
    for (const char* name : {"Label19", "Label20"}) {
        const QFont address = find<QWidget>(name)->font();
        EXPECT_EQ(address.pixelSize(), 11) << name;
        EXPECT_TRUE(address.underline()) << name;
        EXPECT_EQ(find<QWidget>(name)->palette().color(QPalette::WindowText), QColor(Qt::blue)) << name;
    }
    EXPECT_EQ(find<QWidget>("Label14")->font().pointSize(), 20);
}
