#include "certificates_page.h"

#include "ui/action_button.h"
#include "ui/form_widgets.h"
#include "ui/main_actions.h"

#include <QFrame>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

namespace ui {

namespace {

constexpr int kStripHeight = 73;
constexpr int kProgressHeight = 17;
constexpr int kStripButtonWidth = 100;
constexpr int kColumnStep = 110;
constexpr int kFirstColumnLeft = 9;
constexpr int kUpperRowTop = 9;
constexpr int kLowerRowTop = 40;
constexpr int kInstallButtonWidth = 130;

QRect stripButton(int row, int column) {
    return QRect(kFirstColumnLeft + column * kColumnStep, row == 0 ? kUpperRowTop : kLowerRowTop,
                 kStripButtonWidth, kButtonHeight);
}

} // namespace

CertificatesPage::CertificatesPage(const MainActions& actions, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet5"));
    const int stripTop = kPageHeight - kStripHeight;
    const int progressTop = stripTop - kProgressHeight;
    tvCert = makeTree(this, "tvCert", QRect(0, 0, kPageWidth, progressTop));
    PBCert = new QProgressBar(this);
    PBCert->setObjectName(QStringLiteral("PBCert"));
    PBCert->setGeometry(0, progressTop, kPageWidth, kProgressHeight);
    PBCert->setTextVisible(false);
    PBCert->hide();
    Panel3 = new QFrame(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(0, stripTop, kPageWidth, kStripHeight);
    buildButtonStrip(actions);
    buildContextMenu(actions);
    // The strip is full: the install button sits in the tree's lower right corner, above the progress bar.
    btnInstallCert = new QPushButton(this);
    btnInstallCert->setObjectName(QStringLiteral("btnInstallCert"));
    btnInstallCert->setGeometry(kPageWidth - kInstallButtonWidth - 22, progressTop - kButtonHeight - 22,
                                kInstallButtonWidth, kButtonHeight);
}

void CertificatesPage::buildButtonStrip(const MainActions& actions) {
    // Created row by row, left to right, which is also the order the keyboard focus takes.
    Button12 = makeButton(Panel3, "Button12", actions.Acrefresh, stripButton(0, 0));
    Button1 = makeButton(Panel3, "Button1", actions.AcListCert, stripButton(0, 1));
    Button6 = makeButton(Panel3, "Button6", actions.AcRegCert, stripButton(0, 2));
    Button2 = makeButton(Panel3, "Button2", actions.AcInputCert, stripButton(0, 3));
    Button9 = makeButton(Panel3, "Button9", actions.Aclogout, stripButton(1, 0));
    Button3 = makeButton(Panel3, "Button3", actions.AcOutput, stripButton(1, 1));
    Button5 = makeButton(Panel3, "Button5", actions.AcUnRegCert, stripButton(1, 2));
    Button4 = makeButton(Panel3, "Button4", actions.AcDel, stripButton(1, 3));
}

void CertificatesPage::buildContextMenu(const MainActions& actions) {
    PMCertInfo = new QMenu(this);
    PMCertInfo->setObjectName(QStringLiteral("PMCertInfo"));
    PMCertInfo->addActions({actions.AcListCert, actions.AcOutput, actions.AcDel, actions.AcDelCert});
}

} // namespace ui
