// Page 4 (TabSheet5): the certificate tree of the logged-in key, the import progress bar and the strip of
// eight certificate buttons. The tree's context menu PMCertInfo offers view, export and the two deletions.
#pragma once

#include <QWidget>

class QFrame;
class QMenu;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace ui {

class ActionButton;
struct MainActions;

class CertificatesPage : public QWidget {
    Q_OBJECT
public:
    CertificatesPage(const MainActions& actions, QWidget* parent);

    QTreeWidget* tvCert;
    QProgressBar* PBCert;
    QFrame* Panel3;
    ActionButton* Button12;
    ActionButton* Button1;
    ActionButton* Button6;
    ActionButton* Button2;
    ActionButton* Button9;
    ActionButton* Button3;
    ActionButton* Button5;
    ActionButton* Button4;
    QMenu* PMCertInfo;
    // Installs an issued certificate beside its key pair, in a third row of the strip.
    QPushButton* btnInstallCert;

private:
    void buildButtonStrip(const MainActions& actions);
    void buildContextMenu(const MainActions& actions);
};

} // namespace ui
