// The actions of the main window. Buttons and menu entries run them; their captions come from the string
// table (ApplyLanguage) and their categories group them without any effect.
#pragma once

#include <QList>

class QAction;
class QObject;

namespace ui {

struct MainActions {
    QAction* AcFindKeyRefresh;
    QAction* AcLogin;
    QAction* AcCancel;
    QAction* AcSetUserPIN;
    QAction* AcSetKeyName;
    QAction* Acrefresh;
    QAction* AcListCert;
    QAction* AcOutput;
    QAction* AcDel;
    QAction* AcDelCert;
    QAction* AcInputCert;
    QAction* AcRegCert;
    QAction* AcUnRegCert;
    QAction* Aclogout;
    QAction* AcInit;
    QAction* AcSetSOPIN;
    QAction* AcUnlock;
    QAction* AcDownISO;

    // Every action, in the order above.
    QList<QAction*> all() const;
};

// The name of the dynamic property that holds an action's category.
inline constexpr const char* kActionCategoryProperty = "category";

// Creates the eighteen actions as children of `owner`, named and categorised, enabled, without captions.
MainActions createMainActions(QObject* owner);

} // namespace ui
