#include "key_navigator.h"

#include "i18n/string_table.h"
#include "key_info_view.h"
#include "token/flows/key_scan.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/filesystem_icons.h"
#include "ui/image_list.h"
#include "ui/key_guard.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/tree_nodes.h"

#include <QAction>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <iterator>
#include <numeric>
#include <utility>

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

// The certificate request node, after the administration node so the nodes before it keep their places.
constexpr NodeKind kEnrolment = {"Enrol_Node", IconCertificate};
constexpr int kEnrolmentPosition = 4;

// The children of the administration node, in order.
constexpr NodeKind kAdministrationTasks[] = {
    {"Admin_btn_Init", IconInitialise},
    {"Admin_btn_SOPIN", IconLockedKey},
    {"Admin_btn_Unlock", IconUnlock},
    {"Admin_btn_DownISO", IconDisc},
};

// The pages of the administration node's children, in order.
constexpr PageIndex kAdministrationPages[] = {PageInit, PageSoPin, PageUnlock, PageIso};

struct RootNode {
    const char* textKey;
    int image;
};

constexpr RootNode kRootNodes[] = {
    {"Main_Form_Treeview", IconKeyList},
    {"Main_Form_PopupMenu_CheceSystem", IconComputer},
    {"Main_Form_PopupMenu_About", IconAbout},
};

// Positions in the navigation tree: the key list among the top-level nodes, the administration node under a
// key and the initialisation node under the administration node.
constexpr int kKeyListNode = 0;
constexpr int kAdministrationNode = 3;
constexpr int kInitialisationNode = 0;

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

} // namespace

KeyNavigator::KeyNavigator(QTreeWidget& tree, ImageList& icons, PageStack& pages, KeyGuard& guard,
                           KeyOperationRunner& runner, const MainActions& actions, QTimer& findTimer,
                           QObject* parent)
    : QObject(parent), tree_(tree), icons_(icons), pages_(pages), guard_(guard), runner_(runner),
      findTimer_(findTimer) {
    setObjectName(QStringLiteral("navigator"));
    connect(&tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { tvChange(current); });
    connect(&findTimer, &QTimer::timeout, this, &KeyNavigator::TFindUSBKeyTimer);
    connect(actions.AcFindKeyRefresh, &QAction::triggered, this, &KeyNavigator::AcFindKeyRefreshExecute);
}

void KeyNavigator::BuildRootNodes() {
    tree_.clear();
    for (const RootNode& root : kRootNodes) {
        auto* node = new QTreeWidgetItem(&tree_, {i18n::text(root.textKey)});
        setNodeImage(node, icons_, root.image);
    }
}

void KeyNavigator::ScanKeys(std::function<void(int32_t)> then) {
    const std::vector<int32_t> loggedIn = loggedInSlots();
    guard_.scanStarted();
    forgetKeys();
    // The old key nodes stay (their input held) until the scan's result replaces them. What the window shows
    // after the scan is what the library holds: no key logged in.
    runner_.run([loggedIn] { return token::flows::logoutAndRescan(loggedIn); },
                [this, then](const token::flows::KeyRescan& rescan) {
                    QTreeWidgetItem* keyList = keyListNode();
                    removeKeyNodes(keyList);
                    lastScanCode_ = showFullScan(keyList, rescan);
                    if (then)
                        then(lastScanCode_);
                });
}

std::vector<int32_t> KeyNavigator::loggedInSlots() const {
    const token::KeyTable& table = token::keyTable();
    std::vector<int32_t> loggedIn;
    for (int32_t slot = 0; slot < std::clamp(table.keyCount, 0, token::kMaxKeysFound); ++slot) {
        if (table.loginState[slot] == token::LoggedIn)
            loggedIn.push_back(slot);
    }
    return loggedIn;
}

int32_t KeyNavigator::showFullScan(QTreeWidgetItem* keyList, const token::flows::KeyRescan& rescan) {
    shownKeys_ = rescan.keys;
    const int32_t code = showScan(keyList, rescan.scan);
    const std::optional<KeyToSelect> wanted = std::exchange(keyToSelect_, std::nullopt);
    if (code == 0 && wanted) {
        if (const std::optional<int32_t> slot = wanted->slotIn(rescan.keys))
            selectKeyNode(*slot);
    }
    // A scan that failed found no key to check.
    std::vector<int32_t> all(code == 0 ? rescan.keys.size() : 0);
    std::iota(all.begin(), all.end(), 0);
    announceArrived(all);
    return code;
}

void KeyNavigator::announceArrived(const std::vector<int32_t>& arrived) {
    emit keysArrived(QList<int32_t>(arrived.begin(), arrived.end()));
}

void KeyNavigator::rescanKeepingSession(std::function<void(int32_t)> then) {
    keeper_.remember(shownKeys_, token::keyTable());
    const Selection before = selection();
    guard_.scanStarted();
    runner_.run([] { return token::flows::rescanKeys(); },
                [this, before, then](const token::flows::KeyRescan& rescan) {
                    lastScanCode_ = showRescan(rescan, before);
                    if (then)
                        then(lastScanCode_);
                });
}

KeyNavigator::Selection KeyNavigator::selection() {
    Selection selected;
    QTreeWidgetItem* node = tree_.currentItem();
    if (!node)
        return selected;
    if (nodeLevel(node) < kKeyLevel) {
        selected.otherPage = nodePosition(node) != kKeyListNode;
        return selected;
    }
    for (; nodeLevel(node) > kKeyLevel; node = node->parent())
        selected.path.insert(selected.path.begin(), nodePosition(node));
    selected.key = token::keyTable().currentKey;
    return selected;
}

int32_t KeyNavigator::showRescan(const token::flows::KeyRescan& rescan, const Selection& before) {
    QTreeWidgetItem* keyList = keyListNode();
    removeKeyNodes(keyList);
    shownKeys_ = rescan.keys;
    if (rescan.scan.code != 0) {
        emit keysForgotten();
        announceArrived({});
        return showScan(keyList, rescan.scan);
    }
    const SessionKeeper::Kept kept = keeper_.restore(rescan.keys, token::keyTable());
    for (int32_t slot = 0; slot < rescan.scan.keyCount; ++slot)
        addKeyNode(keyList, slot);
    expandWithDescendants(keyList);
    if (before.otherPage) {
        // The system check or the about node is selected: it and its page stay.
        token::keyTable().currentKey = kept.currentKey.value_or(0);
    } else if (kept.currentKey && before.key >= 0) {
        // The key the user works with stayed plugged: its node, page and certificate tree stay.
        token::keyTable().currentKey = *kept.currentKey;
        reselect(*kept.currentKey, before.path);
        if (pages_.current() == PageKeyInfo)
            showKeyInfo(*kept.currentKey);
    } else {
        // The current key is gone: the selection falls back to the first key as a full scan leaves it.
        emit keysForgotten();
        token::keyTable().currentKey = 0;
        showKeyInfo(0);
        showPage(PageKeyInfo);
    }
    announceArrived(kept.arrivedSlots);
    return 0;
}

void KeyNavigator::reselect(int32_t slot, const std::vector<int>& path) {
    QTreeWidgetItem* node = keyListNode()->child(slot);
    for (int position : path) {
        if (node)
            node = node->child(position);
    }
    const QSignalBlocker blocker(&tree_);
    tree_.setCurrentItem(node);
}

int32_t KeyNavigator::showScan(QTreeWidgetItem* keyList, const token::flows::KeyScan& scan) {
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
    showKeyInfo(0);
    showPage(PageKeyInfo);
    emit keysScanned();
    return 0;
}

void KeyNavigator::forgetKeys() {
    // The scan itself empties the key table, on the key operation worker. The keys may now be other keys:
    // nothing typed or shown for one of them may stay for another.
    emit keysForgotten();
}

QTreeWidgetItem* KeyNavigator::keyListNode() {
    if (tree_.topLevelItemCount() == 0)
        BuildRootNodes();
    return tree_.topLevelItem(kKeyListNode);
}

void KeyNavigator::removeKeyNodes(QTreeWidgetItem* keyList) {
    // The scan alone decides the current key and the page: the selection moving off vanishing nodes must not
    // run the selection handler.
    const QSignalBlocker blocker(&tree_);
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
    addNode(key, i18n::text(kEnrolment.textKey), kEnrolment.image);
}

QTreeWidgetItem* KeyNavigator::addNode(QTreeWidgetItem* parent, const QString& text, int image) {
    auto* node = new QTreeWidgetItem(parent, {text});
    setNodeImage(node, icons_, image);
    return node;
}

void KeyNavigator::tvChange(QTreeWidgetItem* node) {
    if (!node || !node->treeWidget())
        return;
    const int32_t previousKey = token::keyTable().currentKey;
    token::keyTable().currentKey = nodePosition(keyAncestor(node));
    if (token::keyTable().currentKey != previousKey)
        emit currentKeyChanged();
    const int position = nodePosition(node);
    switch (nodeLevel(node)) {
    case 0:
        selectRootNode(position);
        break;
    case 1:
        showPage(PageKeyInfo);
        showKeyInfo(token::keyTable().currentKey);
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
        emit systemCheckWanted();
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
        emit keyNameWanted();
        break;
    case 2:
        showLoginOrCertificates();
        break;
    case 3:
        showPage(PageInit);
        emit initialisationWanted();
        break;
    case kEnrolmentPosition:
        showLoginOrEnrolment();
        break;
    default:
        break;
    }
}

void KeyNavigator::showLoginOrCertificates() {
    token::KeyTable& table = token::keyTable();
    if (table.currentLoginState() == token::LoggedIn) {
        emit certificatesWanted(table.currentKey);
        showPage(PageCertificates);
    } else {
        showPage(PageLogin);
        emit loginWanted();
    }
}

void KeyNavigator::showLoginOrEnrolment() {
    token::KeyTable& table = token::keyTable();
    if (table.currentLoginState() == token::LoggedIn) {
        showPage(PageEnrolment);
        emit enrolmentWanted(table.currentKey);
    } else {
        showPage(PageLogin);
        emit loginWanted();
    }
}

void KeyNavigator::selectAdministrationTask(int position) {
    if (position < 0 || position >= static_cast<int>(std::size(kAdministrationPages)))
        return;
    showPage(kAdministrationPages[position]);
    if (kAdministrationPages[position] == PageInit)
        emit initialisationWanted();
}

void KeyNavigator::showPage(PageIndex page) {
    pages_.show(page);
}

void KeyNavigator::showKeyInfo(int32_t slot) {
    emit keyInfoWanted(slot);
}

bool KeyNavigator::acceptsDevice(int productId) const {
    return libraryReady_ && std::ranges::find(kProductIds, productId) != std::end(kProductIds);
}

void KeyNavigator::onKeyArrival(int productId) {
    if (!acceptsDevice(productId))
        return;
    scanCountdown_ = kScansAfterArrival;
    // The device needs a moment before the library can open it.
    QThread::msleep(kPauseAfterArrivalMs);
    findTimer_.start();
}

void KeyNavigator::onKeyRemoval(int productId) {
    if (!acceptsDevice(productId))
        return;
    scanCountdown_ = kScansAfterRemoval;
    findTimer_.start();
}

void KeyNavigator::onTokensChanged() {
    if (!libraryReady_)
        return;
    scanCountdown_ = kScansAfterRemoval;
    findTimer_.start();
}

void KeyNavigator::onKeyGone() {
    if (!libraryReady_)
        return;
    // One more than a removal's count, as the tick run now counts down like any other.
    scanCountdown_ = kScansAfterRemoval + 1;
    findTimer_.start();
    TFindUSBKeyTimer();
}

void KeyNavigator::TFindUSBKeyTimer() {
    // While a key is in use the scan waits for a later tick, without counting down.
    if (guard_.busy())
        return;
    if (--scanCountdown_ <= 0) {
        findTimer_.stop();
        return;
    }
    rescanKeepingSession([this](int32_t code) {
        if (code != 0) {
            emit rescanFailed();
            return;
        }
        findTimer_.stop();
        emit keysFoundAfterDeviceEvent();
    });
}

void KeyNavigator::AcFindKeyRefreshExecute() {
    ScanKeys([this](int32_t code) {
        if (code == 0)
            emit keysFoundByRefresh();
    });
}

void KeyNavigator::scanKeepingCurrentKey() {
    const int32_t current = token::keyTable().currentKey;
    if (current >= 0 && current < static_cast<int32_t>(shownKeys_.size()))
        keyToSelect_ = KeyToSelect{shownKeys_[current], current};
    ScanKeys();
}

std::optional<int32_t>
KeyNavigator::KeyToSelect::slotIn(const std::vector<token::flows::KeyIdentity>& keys) const {
    // Keys that cannot be told apart: the one at the same slot is taken to be the key.
    if (slot < static_cast<int32_t>(keys.size()) && keys[slot] == identity)
        return slot;
    const auto found = std::ranges::find(keys, identity);
    if (found == keys.end())
        return std::nullopt;
    return static_cast<int32_t>(found - keys.begin());
}

void KeyNavigator::selectKeyNode(int32_t slot) {
    if (QTreeWidgetItem* keyNode = keyListNode()->child(slot))
        tree_.setCurrentItem(keyNode);
}

void KeyNavigator::selectInitialisationNode(int32_t slot) {
    QTreeWidgetItem* keyList = tree_.topLevelItem(kKeyListNode);
    QTreeWidgetItem* keyNode = keyList ? keyList->child(slot) : nullptr;
    QTreeWidgetItem* administration = keyNode ? keyNode->child(kAdministrationNode) : nullptr;
    // Selecting the node runs the tree's selection handler, which shows the initialisation page for this key.
    if (QTreeWidgetItem* node = administration ? administration->child(kInitialisationNode) : nullptr)
        tree_.setCurrentItem(node);
}

void KeyNavigator::renameKeyNode(int32_t slot, const QString& label) {
    // The key's node is the key list's child at the key's position: the node whose selection made this key
    // current. (Taking the selected node itself when it is a top-level node would rename the key list or
    // another top-level node.)
    QTreeWidgetItem* keyList = tree_.topLevelItem(kKeyListNode);
    if (QTreeWidgetItem* keyNode = keyList ? keyList->child(slot) : nullptr)
        keyNode->setText(0, label);
}

} // namespace ui
