#include "apply_language.h"

#include "i18n/string_table.h"
#include "main_form.h"
#include "ui/pages/enrolment_page.h"
#include "program_version.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <initializer_list>
#include <iterator>
#include <span>

namespace {

struct Caption {
    const char* control;
    const char* key;
};

enum class Colon { None, Append };

constexpr Caption kRefreshAndCertificateActions[] = {{"Acrefresh", "Main_Form_btn_Refresh"},
                                                     {"AcInputCert", "Main_Form_btn_Import"},
                                                     {"AcOutput", "Main_Form_btn_Output"},
                                                     {"AcDel", "Main_Form_btn_Del"},
                                                     {"AcFindKeyRefresh", "Main_Form_btn_Refresh"},
                                                     {"AcLogin", "Login_Form_btn_OK"},
                                                     {"AcCancel", "C_Btn_Cancel"},
                                                     {"Aclogout", "K_Logout"},
                                                     {"AcListCert", "btn_ViewCert"}};
constexpr Caption kLoginAndUserPinLabels[] = {{"Label14", "Login_Form_label_keyname"},
                                              {"RzLabel1", "Lonin_Form_lable_Key"},
                                              {"Label2", "UPINSet_Form_OldPIN"},
                                              {"Label3", "UPINSet_Form_NewPIN1"},
                                              {"Label4", "UPINSet_Form_NewPIN2"}};
constexpr Caption kAboutLabels[] = {{"Label17", "About_Form_Label_URL"},
                                    {"Label18", "About_Form_Label_Email"},
                                    {"Label15", "About_Form_label_CopyRight"},
                                    {"Label20", "About_Form_Label_URL_Info"},
                                    {"Label19", "About_Form_Label_Email_Info"}};
constexpr Caption kInitLabels[] = {{"lInit_keyname", "K_Info_labelName"},
                                   {"lInit_gs", "K_Info_manufacture"},
                                   {"LInit_SOPIN", "Admin_label_SOPIN"},
                                   {"lInit_UPIN", "Admin_label_UPIN"},
                                   {"lINit_PINLenMax", "K_Info_maxPinLen"},
                                   {"lInit_PINLenMin", "K_Info_minPinLen"},
                                   {"LInit_TryCount", "Admin_label_TryCount"},
                                   {"LInit_Model", "K_Info_Issuer"},
                                   {"lInit_SOPINLenMax", "K_Info_SOPIN_maxPinLen"},
                                   {"lInit_SOPINLenMin", "K_Info_SOPIN_minPinLen"},
                                   {"LInit_TryCount_SOPIN", "K_Info_SOPIN_TryCount"}};
// The tabs of PCInit, in order.
constexpr const char* kInitTabs[] = {"K_Info_Base", "Admin_label_SOPIN", "Admin_label_UPIN"};
constexpr Caption kKeyNameLabel[] = {{"Label8", "KeyName_Form_Lable"}};
constexpr Caption kAdministrationActions[] = {
    {"AcInit", "Admin_btn_Init"},       {"AcSetSOPIN", "Admin_btn_SOPIN"}, {"AcUnlock", "Admin_btn_Unlock"},
    {"AcDownISO", "Admin_btn_DownISO"}, {"AcSetUserPIN", "C_btn_Set"},     {"AcSetKeyName", "C_btn_Set"}};
constexpr Caption kAdministrationLabels[] = {{"LAdmin_Old_SOPIN", "Admin_label_OldSOPIN"},
                                             {"LAdmin_New_SOPIN1", "Admin_label_NewSOPIN1"},
                                             {"LAdmin_new_SOPIN2", "Admin_label_NewSOPIN2"},
                                             {"LAdmin_SOPIN", "Admin_label_SOPIN"},
                                             {"LAdmin_New_UPIN1", "Admin_label_NewUPIN1"},
                                             {"LAdmin_New_UPIN2", "Admin_label_NewUPIN2"},
                                             {"LAdmin_UPIN", "Admin_label_UPIN"},
                                             {"LAdmin_ISOPath", "Admin_label_ISOPath"}};
constexpr Caption kLanguageLabel[] = {{"label_language", "Config_Form_Language"}};
constexpr Caption kRegistrationActions[] = {
    {"AcRegCert", "K_Cert_Reg"}, {"AcUnRegCert", "K_Cert_UnReg"}, {"AcDelCert", "K_Cert_Del"}};

// A caption that already ends in a colon, ASCII or full-width, gets no second one.
QString captionText(const char* key, Colon colon) {
    const QString text = i18n::text(key);
    const bool endsInColon = text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A));
    return colon == Colon::Append && !endsInColon ? text + QLatin1Char(':') : text;
}

void applyWindowFont(TMainForm& form) {
    form.setFont(stringTableFont(form.font()));
}

void applyWindowTitle(TMainForm& form) {
    form.setWindowTitle(i18n::text("P_Caption") + QStringLiteral("  V") + ui::programVersionText());
    // The About page names the program and its version as the title bar does.
    if (auto* program = form.findChild<QLabel*>(QStringLiteral("lblProgramVersion")))
        program->setText(i18n::text("P_Caption").trimmed() + QStringLiteral("  V") +
                         ui::programVersionText());
}

void applyFirstTreeNode(TMainForm& form) {
    auto* tree = form.findChild<QTreeWidget*>(QStringLiteral("tv"));
    if (QTreeWidgetItem* first = tree ? tree->topLevelItem(0) : nullptr)
        first->setText(0, i18n::text("Main_Form_Treeview"));
}

void applyHeaders(TMainForm& form, const char* listName, std::initializer_list<const char*> keys) {
    auto* list = form.findChild<QTableWidget*>(QString::fromLatin1(listName));
    int column = 0;
    for (const char* key : keys)
        list->setHorizontalHeaderItem(column++, new QTableWidgetItem(i18n::text(key)));
}

void applyLabels(TMainForm& form, std::span<const Caption> captions, Colon colon) {
    for (const Caption& caption : captions) {
        auto* label = form.findChild<QLabel*>(QString::fromLatin1(caption.control));
        Q_ASSERT_X(label, "ApplyLanguage", caption.control);
        if (label)
            label->setText(captionText(caption.key, colon));
    }
}

void applyActions(TMainForm& form, std::span<const Caption> captions) {
    for (const Caption& caption : captions) {
        auto* action = form.findChild<QAction*>(QString::fromLatin1(caption.control));
        Q_ASSERT_X(action, "ApplyLanguage", caption.control);
        if (action)
            action->setText(i18n::text(caption.key));
    }
}

void applyInitTabs(TMainForm& form) {
    auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PCInit"));
    for (int tab = 0; tab < tabs->count() && tab < int(std::size(kInitTabs)); ++tab)
        tabs->setTabText(tab, i18n::text(kInitTabs[tab]));
}

// The request page sets its own captions; the install button of the certificate page has no action.
void applyEnrolmentTexts(TMainForm& form) {
    if (auto* page = form.findChild<ui::EnrolmentPage*>(QStringLiteral("TabSheet12")))
        page->applyTexts();
    if (auto* install = form.findChild<QPushButton*>(QStringLiteral("btnInstallCert")))
        install->setText(i18n::text("Cert_btnInstall"));
}

} // namespace

QFont stringTableFont(QFont font) {
    const QString family = i18n::text("FontName").trimmed();
    if (!family.isEmpty())
        font.setFamily(family);
    bool isNumber = false;
    const int points = i18n::text("FontSize").trimmed().toInt(&isNumber, 10);
    if (isNumber && points > 0)
        font.setPointSize(points);
    return font;
}

void ApplyLanguage(TMainForm& form) {
    applyWindowFont(form);
    applyWindowTitle(form);
    applyFirstTreeNode(form);
    applyHeaders(form, "lv", {"Main_Form_ListView_Item1", "Main_Form_ListView_ITem2"});
    applyActions(form, kRefreshAndCertificateActions);
    applyLabels(form, kLoginAndUserPinLabels, Colon::Append);
    applyHeaders(form, "LVSystemInfo", {"CheckSys_Form_lv_Item1", "CheckSys_Form_lv_Item2"});
    applyLabels(form, kAboutLabels, Colon::None);
    applyLabels(form, kInitLabels, Colon::Append);
    applyInitTabs(form);
    applyLabels(form, kKeyNameLabel, Colon::Append);
    applyActions(form, kAdministrationActions);
    applyLabels(form, kAdministrationLabels, Colon::Append);
    applyLabels(form, kLanguageLabel, Colon::None);
    applyActions(form, kRegistrationActions);
    applyEnrolmentTexts(form);
}
