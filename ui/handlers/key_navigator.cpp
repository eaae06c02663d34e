#include "key_navigator.h"

#include "i18n/string_table.h"
#include "key_info_view.h"
#include "token/flows/key_scan.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/filesystem_icons.h"
#include "ui/image_list.h"
#include "ui/main_form.h"
#include "ui/pages/certificates_page.h"
#include "ui/pages/key_info_page.h"
#include "ui/pages/key_name_page.h"
#include "ui/pages/login_page.h"
#include "ui/tree_nodes.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <iterator>

namespace ui {

namespace {

struct NodeKind {
    const char* textKey;
    int image;
};

// The children of a key node before the administration node, in order.
constexpr NodeKind kKeyTasks[] = {
    {"Main_Form_btn_SetUPIN", IconKey},
    {"Main_Form_btn_SetKeyName", IconRename},
    {"Main_Form_Groupbox", IconCertificate},
};

// The last child of a key node.
constexpr NodeKind kAdministration = {"Admin_Name", IconAdministrator};

// The children of the administration node, in order.
constexpr NodeKind kAdministrationTasks[] = {
    {"Admin_btn_Init", IconInitialise},
    {"Admin_btn_SOPIN", IconLockedKey},
    {"Admin_btn_Unlock", IconUnlock},
    {"Admin_btn_DownISO", IconDisc},
};

// The pages of the administration node's children, in order.
constexpr int kAdministrationPages[] = {PageInit, PageSoPin, PageUnlock, PageIso};

constexpr int kKeyLevel = 1;
constexpr int kPauseAfterArrivalMs = 100;
constexpr int kScansAfterArrival = 3;
constexpr int kScansAfterRemoval = 2;

// For a node of level 2 or deeper its key node; otherwise the node itself.
QTreeWidgetItem* keyAncestor(QTreeWidgetItem* node) {
    while (nodeLevel(node) > kKeyLevel)
        node = node->parent();
    return node;
}

// The class name without its namespace.
QByteArrayView bareClassName(const QObject* object) {
    const QByteArrayView name(object->metaObject()->className());
    const qsizetype separator = name.lastIndexOf(QByteArrayView("::"));
    return separator < 0 ? name : name.sliced(separator + 2);
}

} // namespace

KeyNavigator::KeyNavigator(TMainForm& form) : QObject(&form), form_(form) {
    connect(form.tv, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { tvChange(current); });
    connect(form.TabSheet5->tvCert, &QTreeWidget::itemSelectionChanged, this,
            &KeyNavigator::UpdateCertActions);
    connect(form.TFindUSBKey, &QTimer::timeout, this, &KeyNavigator::TFindUSBKeyTimer);
    connect(form.actions.AcFindKeyRefresh, &QAction::triggered, this, &KeyNavigator::AcFindKeyRefreshExecute);
}

int32_t KeyNavigator::ScanKeys() {
    form_.keyGuard.scanStarted();
    forgetKeys();
    QTreeWidgetItem* keyList = keyListNode();
    removeKeyNodes(keyList);

    const token::flows::KeyScan scan = token::flows::scanKeys();
    if (scan.searchFailed) {
        addErrorNode(keyList);
        expandWithDescendants(keyList);
        showPage(PageKeyInfo);
        return scan.code;
    }
    if (scan.code != 0) {
        addErrorNode(keyList);
        return scan.code;
    }
    for (int32_t slot = 0; slot < scan.keyCount; ++slot)
        addKeyNode(keyList, slot);
    // Expanding the key list with all its descendants opens the first key node's branch as well.
    expandWithDescendants(keyList);
    form_.ShowKeyInfo(0);
    showPage(PageKeyInfo);
    return 0;
}

void KeyNavigator::forgetKeys() {
    token::KeyTable& table = token::keyTable();
    table.resetLoginStates();
    for (int32_t slot = 0; slot < token::kMaxKeysFound; ++slot)
        table.keys[slot].clear();
    form_.TabSheet1->lv->setRowCount(0);
    // The keys may now be other keys: a PIN typed for one of them must not go to another.
    form_.TabSheet4->edtUPIN->clear();
    UpdateCertActions();
}

QTreeWidgetItem* KeyNavigator::keyListNode() {
    if (form_.tv->topLevelItemCount() == 0)
        form_.BuildRootNodes();
    return form_.tv->topLevelItem(0);
}

void KeyNavigator::removeKeyNodes(QTreeWidgetItem* keyList) {
    // The scan alone decides the current key and the page: the selection moving off vanishing nodes must not
    // run the selection handler.
    const QSignalBlocker blocker(form_.tv);
    qDeleteAll(keyList->takeChildren());
}

void KeyNavigator::addErrorNode(QTreeWidgetItem* keyList) {
    addNode(keyList, i18n::text("K_GetKeyInfo_Error"), IconUsbKey);
}

void KeyNavigator::addKeyNode(QTreeWidgetItem* keyList, int32_t slot) {
    const QString label = keyLabel(token::keyTable().keys[slot]).trimmed();
    QTreeWidgetItem* key = addNode(keyList, label, IconUsbKey);
    for (const NodeKind& kind : kKeyTasks)
        addNode(key, i18n::text(kind.textKey), kind.image);
    QTreeWidgetItem* administration =
        addNode(key, i18n::text(kAdministration.textKey), kAdministration.image);
    for (const NodeKind& kind : kAdministrationTasks)
        addNode(administration, i18n::text(kind.textKey), kind.image);
}

QTreeWidgetItem* KeyNavigator::addNode(QTreeWidgetItem* parent, const QString& text, int image) {
    auto* node = new QTreeWidgetItem(parent, {text});
    setNodeImage(node, *form_.IFilesystem, image);
    return node;
}

void KeyNavigator::tvChange(QTreeWidgetItem* node) {
    if (!node || !node->treeWidget())
        return;
    const int32_t previousKey = token::keyTable().currentKey;
    token::keyTable().currentKey = nodePosition(keyAncestor(node));
    if (token::keyTable().currentKey != previousKey)
        form_.TabSheet4->edtUPIN->clear();
    const int position = nodePosition(node);
    switch (nodeLevel(node)) {
    case 0:
        selectRootNode(position);
        break;
    case 1:
        showPage(PageKeyInfo);
        form_.ShowKeyInfo(token::keyTable().currentKey);
        break;
    case 2:
        selectKeyTask(position);
        break;
    case 3:
        selectAdministrationTask(position);
        break;
    default:
        break;
    }
}

void KeyNavigator::selectRootNode(int position) {
    if (position == 1) {
        showPage(PageSystemCheck);
        form_.ShowSystemInfo();
    } else if (position == 2) {
        showPage(PageAbout);
    }
}

void KeyNavigator::selectKeyTask(int position) {
    switch (position) {
    case 0:
        showPage(PageUserPin);
        break;
    case 1:
        showPage(PageKeyName);
        form_.TabSheet3->edtKeyName->setText(keyLabel(token::keyTable().current()).trimmed());
        break;
    case 2:
        showLoginOrCertificates();
        break;
    case 3:
        showPage(PageInit);
        form_.LoadInitDefaults();
        break;
    default:
        break;
    }
}

void KeyNavigator::showLoginOrCertificates() {
    token::KeyTable& table = token::keyTable();
    if (table.currentLoginState() == token::LoggedIn) {
        form_.BuildCertTree(table.currentKey);
        UpdateCertActions();
        showPage(PageCertificates);
    } else {
        showPage(PageLogin);
        QLabel* keyName = form_.TabSheet4->Lkeyname;
        // The label comes from the key: it is shown as it stands, never read as markup.
        keyName->setTextFormat(Qt::PlainText);
        keyName->setText(keyLabel(table.current()));
    }
}

void KeyNavigator::selectAdministrationTask(int position) {
    if (position < 0 || position >= static_cast<int>(std::size(kAdministrationPages)))
        return;
    showPage(kAdministrationPages[position]);
    if (kAdministrationPages[position] == PageInit)
        form_.LoadInitDefaults();
}

void KeyNavigator::showPage(int page) {
    form_.RPC->setCurrentIndex(page);
}

bool KeyNavigator::acceptsDevice(int productId) const {
    return form_.libraryReady() && std::ranges::find(kProductIds, productId) != std::end(kProductIds);
}

void KeyNavigator::onKeyArrival(int productId) {
    if (!acceptsDevice(productId))
        return;
    scanCountdown_ = kScansAfterArrival;
    // The device needs a moment before the library can open it.
    QThread::msleep(kPauseAfterArrivalMs);
    form_.TFindUSBKey->start();
}

void KeyNavigator::onKeyRemoval(int productId) {
    if (!acceptsDevice(productId))
        return;
    scanCountdown_ = kScansAfterRemoval;
    form_.TFindUSBKey->start();
}

void KeyNavigator::onTokensChanged() {
    if (!form_.libraryReady())
        return;
    scanCountdown_ = kScansAfterRemoval;
    form_.TFindUSBKey->start();
}

void KeyNavigator::onKeyGone() {
    if (!form_.libraryReady())
        return;
    // One more than a removal's count, as the tick run now counts down like any other.
    scanCountdown_ = kScansAfterRemoval + 1;
    form_.TFindUSBKey->start();
    TFindUSBKeyTimer();
}

void KeyNavigator::TFindUSBKeyTimer() {
    // While a key is in use the scan waits for a later tick, without counting down.
    if (form_.keyGuard.busy())
        return;
    if (--scanCountdown_ <= 0) {
        form_.TFindUSBKey->stop();
        return;
    }
    if (ScanKeys() != 0) {
        CloseImportDialog();
        return;
    }
    form_.TFindUSBKey->stop();
    if (form_.ConfigInfo.OpenMode == 1)
        form_.OpenArrivalURL();
    form_.TCheckInit->start();
}

void KeyNavigator::AcFindKeyRefreshExecute() {
    if (ScanKeys() == 0)
        form_.TCheckInit->start();
}

void KeyNavigator::UpdateCertActions() {
    const token::KeyTable& table = token::keyTable();
    const int32_t loginState = table.keyCount == 0 ? 0 : table.loginState[table.currentKey];
    const QList<QTreeWidgetItem*> selected = form_.TabSheet5->tvCert->selectedItems();
    QTreeWidgetItem* node = selected.isEmpty() ? nullptr : selected.first();
    const int level = node ? nodeLevel(node) : -1;
    const int position = node ? nodePosition(node) : -1;

    const bool loggedIn = loginState >= token::LoggedIn;
    const bool onCertificate = loggedIn && level == 2 && position == 0;
    const MainActions& actions = form_.actions;
    actions.AcDel->setEnabled(loggedIn && level == 0 && table.keys[table.currentKey].containerCount > 0);
    actions.AcOutput->setEnabled(onCertificate);
    actions.AcListCert->setEnabled(onCertificate);
    actions.AcDelCert->setEnabled(onCertificate);
}

void KeyNavigator::CloseImportDialog() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (bareClassName(window) == QByteArrayView("TIMForm")) {
            window->close();
            return;
        }
    }
}

} // namespace ui
