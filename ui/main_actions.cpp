#include "main_actions.h"

#include <QAction>

namespace ui {

namespace {

struct ActionDefinition {
    QAction* MainActions::*member;
    const char* name;
    const char* category;
};

constexpr ActionDefinition kActions[] = {
    {&MainActions::AcFindKeyRefresh, "AcFindKeyRefresh", "RPC_Btn"},
    {&MainActions::AcLogin, "AcLogin", "RPC_Btn"},
    {&MainActions::AcCancel, "AcCancel", "RPC_Btn"},
    {&MainActions::AcSetUserPIN, "AcSetUserPIN", "SetBase"},
    {&MainActions::AcSetKeyName, "AcSetKeyName", "SetBase"},
    {&MainActions::Acrefresh, "Acrefresh", "Cert_Btn"},
    {&MainActions::AcListCert, "AcListCert", "Cert_Btn"},
    {&MainActions::AcOutput, "AcOutput", "Cert_Btn"},
    {&MainActions::AcDel, "AcDel", "Cert_Btn"},
    {&MainActions::AcDelCert, "AcDelCert", "Cert_Btn"},
    {&MainActions::AcInputCert, "AcInputCert", "Cert_Btn"},
    {&MainActions::AcRegCert, "AcRegCert", "Cert_Btn"},
    {&MainActions::AcUnRegCert, "AcUnRegCert", "Cert_Btn"},
    {&MainActions::Aclogout, "Aclogout", "Cert_Btn"},
    {&MainActions::AcInit, "AcInit", "Admin"},
    {&MainActions::AcSetSOPIN, "AcSetSOPIN", "Admin"},
    {&MainActions::AcUnlock, "AcUnlock", "Admin"},
    {&MainActions::AcDownISO, "AcDownISO", "Admin"},
};

} // namespace

QList<QAction*> MainActions::all() const {
    QList<QAction*> actions;
    for (const ActionDefinition& definition : kActions)
        actions.append(this->*definition.member);
    return actions;
}

MainActions createMainActions(QObject* owner) {
    MainActions actions{};
    for (const ActionDefinition& definition : kActions) {
        auto* action = new QAction(owner);
        action->setObjectName(QString::fromLatin1(definition.name));
        action->setProperty(kActionCategoryProperty, QString::fromLatin1(definition.category));
        actions.*definition.member = action;
    }
    return actions;
}

} // namespace ui
