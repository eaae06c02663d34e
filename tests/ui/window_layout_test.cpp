// The main window as it is created: every named control, its place and size, its limits and initial values,
// the actions with their buttons, and the timers.
#include "form_parts.h"
#include "main_form_fixture.h"
#include "ui/apply_language.h"
#include "ui/image_list.h"
#include "ui/import_dialog.h"
#include "ui/main_actions.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <utility>
#include <vector>

namespace {

using NamedType = std::pair<const char*, const char*>;

const std::vector<NamedType> kControls = {
    {"Image1", "QLabel"},
    {"tv", "QTreeWidget"},
    {"RPC", "QStackedWidget"},
    {"lv", "QTableWidget"},
    {"Button7", "QPushButton"},
    {"RzGroupBox1", "QGroupBox"},
    {"Label2", "QLabel"},
    {"Label3", "QLabel"},
    {"Label4", "QLabel"},
    {"edtOldUPin", "QLineEdit"},
    {"edtNewUPin1", "QLineEdit"},
    {"edtNewUPin2", "QLineEdit"},
    {"btnOK", "QPushButton"},
    {"Label8", "QLabel"},
    {"edtKeyName", "QLineEdit"},
    {"RzButton1", "QPushButton"},
    {"Image2", "QLabel"},
    {"Label14", "QLabel"},
    {"Lkeyname", "QLabel"},
    {"RzLabel1", "QLabel"},
    {"edtUPIN", "QLineEdit"},
    {"Label10", "QLabel"},
    {"btnlogon", "QPushButton"},
    {"RzButton3", "QPushButton"},
    {"tvCert", "QTreeWidget"},
    {"PBCert", "QProgressBar"},
    {"Panel3", "QFrame"},
    {"Button12", "QPushButton"},
    {"Button1", "QPushButton"},
    {"Button6", "QPushButton"},
    {"Button2", "QPushButton"},
    {"Button9", "QPushButton"},
    {"Button3", "QPushButton"},
    {"Button5", "QPushButton"},
    {"Button4", "QPushButton"},
    {"PMCertInfo", "QMenu"},
    {"LVSystemInfo", "QTableWidget"},
    {"label_language", "QLabel"},
    {"cbLanguageID", "QComboBox"},
    {"Label17", "QLabel"},
    {"Label20", "QLabel"},
    {"Label18", "QLabel"},
    {"Label19", "QLabel"},
    {"Bevel1", "QFrame"},
    {"Label15", "QLabel"},
    {"PCInit", "QTabWidget"},
    {"Button14", "QPushButton"},
    {"lInit_keyname", "QLabel"},
    {"edtInit_KeyName", "QLineEdit"},
    {"lInit_gs", "QLabel"},
    {"edtInit_GS", "QLineEdit"},
    {"LInit_Model", "QLabel"},
    {"edtInit_UnLockPIN", "QLineEdit"},
    {"LInit_SOPIN", "QLabel"},
    {"edtInit_SPIN", "QLineEdit"},
    {"lInit_SOPINLenMin", "QLabel"},
    {"edtInit_SOPINlenMin", "QSpinBox"},
    {"Label23", "QLabel"},
    {"lInit_SOPINLenMax", "QLabel"},
    {"edtInit_SOPINlenMax", "QSpinBox"},
    {"Label13", "QLabel"},
    {"LInit_TryCount_SOPIN", "QLabel"},
    {"edtInit_MaxCount_SOPIN", "QSpinBox"},
    {"Label21", "QLabel"},
    {"lInit_UPIN", "QLabel"},
    {"edtInit_UPIN", "QLineEdit"},
    {"lInit_PINLenMin", "QLabel"},
    {"edtInit_PINlenMin", "QSpinBox"},
    {"Label31", "QLabel"},
    {"lINit_PINLenMax", "QLabel"},
    {"edtInit_PINLenMax", "QSpinBox"},
    {"Label28", "QLabel"},
    {"LInit_TryCount", "QLabel"},
    {"edtInit_MaxCount", "QSpinBox"},
    {"Label29", "QLabel"},
    {"RzGroupBox4", "QGroupBox"},
    {"LAdmin_Old_SOPIN", "QLabel"},
    {"LAdmin_New_SOPIN1", "QLabel"},
    {"LAdmin_new_SOPIN2", "QLabel"},
    {"edtSPIN", "QLineEdit"},
    {"edtNewSPIN1", "QLineEdit"},
    {"edtNewSPIN2", "QLineEdit"},
    {"Button10", "QPushButton"},
    {"RzGroupBox5", "QGroupBox"},
    {"LAdmin_SOPIN", "QLabel"},
    {"LAdmin_New_UPIN1", "QLabel"},
    {"LAdmin_New_UPIN2", "QLabel"},
    {"edtSPINForUnLock", "QLineEdit"},
    {"edtUPINForUnlock1", "QLineEdit"},
    {"edtUPINForUnlock2", "QLineEdit"},
    {"Button11", "QPushButton"},
    {"RzGroupBox6", "QGroupBox"},
    {"LAdmin_UPIN", "QLabel"},
    {"edtUPINForDownISO", "QLineEdit"},
    {"LAdmin_ISOPath", "QLabel"},
    {"edtPath", "QLineEdit"},
    {"PBISO", "QProgressBar"},
    {"Button8", "QPushButton"},
    {"IFilesystem", "ui::ImageList"},
};

// Each button with the action it runs and its fixed size (height 0: not fixed).
struct BoundButton {
    const char* button;
    const char* action;
    int width;
    int height;
};

const std::vector<BoundButton> kButtons = {
    {"Button7", "AcFindKeyRefresh", 120, 25},
    {"btnOK", "AcSetUserPIN", 120, 0},
    {"RzButton1", "AcSetKeyName", 120, 0},
    {"btnlogon", "AcLogin", 120, 0},
    {"RzButton3", "AcCancel", 120, 0},
    {"Button12", "Acrefresh", 100, 25},
    {"Button1", "AcListCert", 100, 25},
    {"Button6", "AcRegCert", 100, 25},
    {"Button2", "AcInputCert", 100, 25},
    {"Button9", "Aclogout", 100, 25},
    {"Button3", "AcOutput", 100, 25},
    {"Button5", "AcUnRegCert", 100, 25},
    {"Button4", "AcDel", 100, 25},
    {"Button14", "AcInit", 120, 25},
    {"Button10", "AcSetSOPIN", 120, 25},
    {"Button11", "AcUnlock", 120, 25},
    {"Button8", "AcDownISO", 120, 25},
};

const std::vector<NamedType> kActionCategories = {
    {"AcFindKeyRefresh", "RPC_Btn"}, {"AcLogin", "RPC_Btn"},      {"AcCancel", "RPC_Btn"},
    {"AcSetUserPIN", "SetBase"},     {"AcSetKeyName", "SetBase"}, {"Acrefresh", "Cert_Btn"},
    {"AcListCert", "Cert_Btn"},      {"AcOutput", "Cert_Btn"},    {"AcDel", "Cert_Btn"},
    {"AcDelCert", "Cert_Btn"},       {"AcInputCert", "Cert_Btn"}, {"AcRegCert", "Cert_Btn"},
    {"AcUnRegCert", "Cert_Btn"},     {"Aclogout", "Cert_Btn"},    {"AcInit", "Admin"},
    {"AcSetSOPIN", "Admin"},         {"AcUnlock", "Admin"},       {"AcDownISO", "Admin"},
};

} // namespace

TEST_F(MainFormTest, EveryNamedControlExistsWithItsKind) {
    for (const auto& [name, type] : kControls) {
        QObject* control = find(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_TRUE(control->inherits(type)) << name << " is a " << control->metaObject()->className();
    }
    EXPECT_STREQ(form().metaObject()->className(), "TMainForm");
}

TEST_F(MainFormTest, WindowHasFixedClientAreaWithoutMaximiseButton) {
    TMainForm& window = form();
    EXPECT_EQ(window.size(), QSize(674, 432));
    EXPECT_EQ(window.minimumSize(), QSize(674, 432));
    EXPECT_EQ(window.maximumSize(), QSize(674, 432));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    window.show();
    window.showMaximized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isMaximized());
    EXPECT_EQ(window.size(), QSize(674, 432));
}

TEST_F(MainFormTest, BannerTreeAndPagesFillTheirRegions) {
    EXPECT_EQ(find<QWidget>("Image1")->geometry(), QRect(0, 0, 674, 85));
    EXPECT_EQ(find<QWidget>("tv")->geometry(), QRect(0, 85, 220, 347));
    auto* pages = find<QStackedWidget>("RPC");
    ASSERT_EQ(pages->count(), 12);
    EXPECT_GE(pages->geometry().left(), 220);
    EXPECT_LE(pages->geometry().right(), 673);
    EXPECT_LE(pages->geometry().bottom(), 431);
    form().show();
    for (int index = 0; index < pages->count(); ++index) {
        pages->setCurrentIndex(index);
        QWidget* page = pages->currentWidget();
        EXPECT_EQ(page->objectName(), QStringLiteral("TabSheet%1").arg(index + 1));
        EXPECT_EQ(page->size(), QSize(448, 321)) << "page " << index;
        for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow()) {
                EXPECT_TRUE(page->rect().contains(child->geometry())) << child->objectName().toStdString();
            }
        }
    }
}

TEST_F(MainFormTest, FieldsStartWithTheirValuesAndRanges) {
    EXPECT_EQ(find<QLineEdit>("edtInit_KeyName")->text(), "Pellor");
    EXPECT_EQ(find<QLineEdit>("edtInit_GS")->text(), "Norvale");
    EXPECT_EQ(find<QLineEdit>("edtInit_UnLockPIN")->text(), "Norvale");
    EXPECT_EQ(find<QLineEdit>("edtInit_SPIN")->text(), "qzvke");
    EXPECT_EQ(find<QLineEdit>("edtInit_UPIN")->text(), "40729316");
    struct Spin {
        const char* name;
        int minimum, maximum, value;
        const char* hint;
        const char* hintText;
    };
    const Spin spins[] = {
        {"edtInit_SOPINlenMin", 4, 16, 4, "Label23", "(4--16)"},
        {"edtInit_SOPINlenMax", 4, 16, 16, "Label13", "(4--16)"},
        {"edtInit_MaxCount_SOPIN", 1, 15, 10, "Label21", "(1--15)"},
        {"edtInit_PINlenMin", 4, 16, 4, "Label31", "(4--16)"},
        {"edtInit_PINLenMax", 4, 16, 16, "Label28", "(4--16)"},
        {"edtInit_MaxCount", 1, 15, 10, "Label29", "(1--15)"},
    };
    for (const Spin& spin : spins) {
        auto* box = find<QSpinBox>(spin.name);
        EXPECT_EQ(box->minimum(), spin.minimum) << spin.name;
        EXPECT_EQ(box->maximum(), spin.maximum) << spin.name;
        EXPECT_EQ(box->value(), spin.value) << spin.name;
        EXPECT_EQ(find<QLabel>(spin.hint)->text(), spin.hintText) << spin.hint;
    }
    EXPECT_EQ(find<QLabel>("Label10")->text(), "0");
    EXPECT_TRUE(find<QWidget>("PBCert")->isHidden());
    EXPECT_EQ(find<QStackedWidget>("RPC")->currentIndex(), 0);
    auto* tabs = find<QTabWidget>("PCInit");
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(tabs->size(), QSize(427, 279));
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->widget(1)->objectName(), "TabSheet13");
    EXPECT_FALSE(find<QComboBox>("cbLanguageID")->isEditable());
    EXPECT_EQ(find<QWidget>("edtUPIN")->width(), 265);
    EXPECT_EQ(find<QWidget>("edtUPINForDownISO")->width(), 389);
    EXPECT_EQ(find<QWidget>("edtPath")->width(), 389);
    EXPECT_EQ(find<QWidget>("PBISO")->size(), QSize(388, 22));
    EXPECT_EQ(find<QWidget>("PBCert")->height(), 17);
    EXPECT_EQ(find<QWidget>("Panel3")->height(), 73);
    EXPECT_EQ(find<QWidget>("Image2")->size(), QSize(48, 48));
}

TEST_F(MainFormTest, TreesAreReadOnlyWithTheirIndentAndTheRootNodes) {
    for (const char* name : {"tv", "tvCert"}) {
        auto* tree = find<QTreeWidget>(name);
        EXPECT_EQ(tree->indentation(), 19) << name;
        EXPECT_EQ(tree->editTriggers(), QAbstractItemView::NoEditTriggers) << name;
        const QPalette palette = tree->palette();
        EXPECT_EQ(palette.color(QPalette::Inactive, QPalette::Highlight),
                  palette.color(QPalette::Active, QPalette::Highlight))
            << name;
    }
    auto* tree = find<QTreeWidget>("tv");
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    const std::pair<QString, int> roots[] = {{"USBKey列表", 9}, {"系统信息", 10}, {"关于", 7}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tree->topLevelItem(i)->text(0), roots[i].first);
        EXPECT_EQ(ui::nodeImage(tree->topLevelItem(i)), roots[i].second);
        EXPECT_FALSE(tree->topLevelItem(i)->icon(0).isNull());
    }
    EXPECT_EQ(part<ui::ImageList>(form(), "IFilesystem")->count(), 18);
    for (int index = 0; index < 18; ++index)
        EXPECT_FALSE(
            part<ui::ImageList>(form(), "IFilesystem")->icon(index).pixmap(16, 16).toImage().isNull())
            << index;
}

TEST_F(MainFormTest, EighteenActionsWithTheirCategoriesAndButtons) {
    // The import button opens the import dialog: it is cancelled at once.
    ui::TIMForm::setShownHook([](ui::TIMForm& dialog) { dialog.reject(); });
    const QList<QAction*> actions = actionsOf(form()).all();
    ASSERT_EQ(actions.size(), 18);
    for (const auto& [name, category] : kActionCategories) {
        auto* action = find<QAction>(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_EQ(action->property(ui::kActionCategoryProperty).toString(), category) << name;
        EXPECT_FALSE(action->text().trimmed().isEmpty()) << name;
    }
    for (const BoundButton& bound : kButtons) {
        auto* button = find<QPushButton>(bound.button);
        auto* action = find<QAction>(bound.action);
        EXPECT_EQ(button->text(), action->text()) << bound.button;
        EXPECT_EQ(button->width(), bound.width) << bound.button;
        if (bound.height) {
            EXPECT_EQ(button->height(), bound.height) << bound.button;
        }
        int runs = 0;
        auto connection = QObject::connect(action, &QAction::triggered, [&runs] { ++runs; });
        action->setEnabled(true); // a refresh clicked before disables the certificate actions
        button->click();
        action->setEnabled(false);
        EXPECT_FALSE(button->isEnabled()) << bound.button;
        button->click();
        action->setEnabled(true);
        EXPECT_TRUE(button->isEnabled()) << bound.button;
        QObject::disconnect(connection);
        EXPECT_EQ(runs, 1) << bound.button;
    }
    ui::TIMForm::setShownHook(nullptr);
}

TEST_F(MainFormTest, CertificateButtonsTakeTheFocusRowByRow) {
    const char* order[] = {"Button12", "Button1", "Button6", "Button2",
                           "Button9",  "Button3", "Button5", "Button4"};
    form().show();
    find<QStackedWidget>("RPC")->setCurrentIndex(4);
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(find<QWidget>(order[i])->nextInFocusChain(), find<QWidget>(order[i + 1])) << order[i];
}

TEST_F(MainFormTest, CertificateContextMenuListsItsFourActions) {
    auto* menu = find<QMenu>("PMCertInfo");
    QStringList names;
    for (QAction* action : menu->actions())
        names.append(action->objectName());
    EXPECT_EQ(names, QStringList({"AcListCert", "AcOutput", "AcDel", "AcDelCert"}));
    EXPECT_EQ(find<QWidget>("tvCert")->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(MainFormTest, TimersExistStoppedWithTheirIntervals) {
    const std::pair<const char*, int> timers[] = {{"TFindUSBKey", 1000},
                                                  {"TRegCert", 1000},
                                                  {"Timer1", 2000},
                                                  {"TCloseProject", 500},
                                                  {"TCheckInit", 400}};
    for (const auto& [name, interval] : timers) {
        auto* timer = find<QTimer>(name);
        ASSERT_NE(timer, nullptr) << name;
        EXPECT_FALSE(timer->isActive()) << name;
        EXPECT_EQ(timer->interval(), interval) << name;
    }
}

// Clipped captions show up only with real texts in a real font: every button and label of every page is
// checked with both shipped language files (the fixed button widths leave the translation to fit).
TEST_F(MainFormTest, EveryCaptionFitsItsControlInBothShippedLanguages) {
    for (const char* file : {"CHS_2052.lng", "EN_1033.lng"}) {
        i18n::LoadLanguageFile(QStringLiteral(PELLORZU_SOURCE_DIR "/Languages/") + QLatin1String(file));
        ApplyLanguage(form());
        for (QPushButton* button : form().findChildren<QPushButton*>())
            EXPECT_LE(button->sizeHint().width(), button->width())
                << file << " " << button->objectName().toStdString() << ": " << button->text().toStdString();
        for (QLabel* label : form().findChildren<QLabel*>()) {
            if (label->text().isEmpty() || label->wordWrap())
                continue;
            EXPECT_LE(label->sizeHint().width(), label->width())
                << file << " " << label->objectName().toStdString() << ": " << label->text().toStdString();
        }
    }
}
