// Finding the keys and moving around the navigation tree tv: the scan that rebuilds the key nodes, the tree's
// selection handler that turns a node into a page and a current key, and the reaction to keys plugged in and
// pulled out (a short, bounded series of rescans). What the other pages fill when they are shown, the
// navigator announces as signals.
#pragma once

#include "token/flows/key_rescan.h"
#include "ui/handlers/session_keeper.h"
#include "ui/page_stack.h"

#include <QList>
#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QTimer;
namespace token::flows {
struct KeyScan;
}
class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

class ImageList;
class KeyGuard;
class KeyOperationRunner;
struct MainActions;

class KeyNavigator : public QObject {
    Q_OBJECT
public:
    // The product ids of the maker's keys; device events of other products are ignored.
    static constexpr int kProductIds[] = {0xE917, 0xDB08, 0xE618};

    // Connects the selection changes of `tree`, the ticks of `findTimer` (TFindUSBKey) and
    // AcFindKeyRefresh.
    KeyNavigator(QTreeWidget& tree, ImageList& icons, PageStack& pages, KeyGuard& guard,
                 KeyOperationRunner& runner, const MainActions& actions, QTimer& findTimer, QObject* parent);

    // Device events count only once the token library is ready.
    void setLibraryReady(bool ready) { libraryReady_ = ready; }

    // Clears tv and adds its three top-level nodes: the key list, the system check and the about node.
    void BuildRootNodes();
    // Logs out the keys shown logged in, then finds and reads every key off the window thread, rebuilds the
    // key nodes and calls `then` with the scan's code: 0 when at least one key was found and read.
    void ScanKeys(std::function<void(int32_t)> then = {});
    // The code of the last scan that ended.
    int32_t lastScanCode() const { return lastScanCode_; }
    // The rescan after a device event: keys that stayed plugged keep their login, and a current key that
    // stayed keeps its selected node and page; `then` gets the scan's code as ScanKeys() gives it.
    void rescanKeepingSession(std::function<void(int32_t)> then = {});
    // A full scan after which the current key, found again by its module and serial, is selected with its
    // information shown (after its initialisation, say).
    void scanKeepingCurrentKey();
    // Selects the node of the key at `slot`, which shows its information.
    void selectKeyNode(int32_t slot);
    // The selection handler of tv.
    void tvChange(QTreeWidgetItem* node);
    // A USB device with `productId` arrived / was removed.
    void onKeyArrival(int productId);
    void onKeyRemoval(int productId);
    // A PKCS#11 token was inserted or removed: the rescans of a removal start.
    void onTokensChanged();
    // A library call answered that the current key is gone: the rescans of a removal start at once, whatever
    // the key's product id.
    void onKeyGone();
    // One tick of TFindUSBKey.
    void TFindUSBKeyTimer();
    // AcFindKeyRefresh: rescans; a scan that found keys announces it.
    void AcFindKeyRefreshExecute();
    // Selects the initialisation node of the key at `slot`, which shows its initialisation page.
    void selectInitialisationNode(int32_t slot);
    // Shows `label` as the caption of the key node at `slot`, without a new scan.
    void renameKeyNode(int32_t slot, const QString& label);

    int scanCountdown() const { return scanCountdown_; }

signals:
    // A scan is about to read the keys anew: what was shown of the old keys goes.
    void keysForgotten();
    // The selection moved to another key.
    void currentKeyChanged();
    // The page of the key information, the label, the login, the certificates, the initialisation and the
    // system check was shown for the current key and wants its content.
    void keyInfoWanted(int32_t slot);
    void keyNameWanted();
    void loginWanted();
    void certificatesWanted(int32_t key);
    // The certificate request page was shown for the logged-in `key`.
    void enrolmentWanted(int32_t key);
    void initialisationWanted();
    void systemCheckWanted();
    // A rescan after a device event found no key it could read.
    void rescanFailed();
    // A rescan after a device event found keys.
    void keysFoundAfterDeviceEvent();
    // A refresh by the user found keys.
    void keysFoundByRefresh();
    // A scan found these keys for the first time (a full scan: all it found); the keys that stayed plugged
    // through a rescan are not among them.
    void keysArrived(const QList<int32_t>& arrived);
    // A scan found keys and shows them (whatever started it).
    void keysScanned();

private:
    // Where the selection was before a rescan: the current key and the child positions from its key node
    // down to the selected node (empty for the key node itself); no key when a top-level node or nothing was
    // selected.
    struct Selection {
        int32_t key = -1;
        std::vector<int> path;
        bool otherPage = false; // the system check or the about node
    };
    Selection selection();
    // The slots of the keys shown logged in.
    std::vector<int32_t> loggedInSlots() const;
    // Shows what a full scan found and announces every key found as arrived.
    int32_t showFullScan(QTreeWidgetItem* keyList, const token::flows::KeyRescan& rescan);
    // Shows what a rescan after a device event found, keeping what `before` was doing where its key stayed.
    int32_t showRescan(const token::flows::KeyRescan& rescan, const Selection& before);
    // Selects, without running the selection handler, the node at `path` under the key node of `slot`.
    void reselect(int32_t slot, const std::vector<int>& path);
    void announceArrived(const std::vector<int32_t>& arrived);
    // Every slot back to "no key".
    void forgetKeys();
    // Shows what `scan` found under `keyList`; the scan's code.
    int32_t showScan(QTreeWidgetItem* keyList, const token::flows::KeyScan& scan);
    QTreeWidgetItem* keyListNode();
    void removeKeyNodes(QTreeWidgetItem* keyList);
    void addErrorNode(QTreeWidgetItem* keyList);
    void addKeyNode(QTreeWidgetItem* keyList, int32_t slot);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, int image);
    void showPage(PageIndex page);
    void showKeyInfo(int32_t slot);
    void selectRootNode(int position);
    void selectKeyTask(int position);
    void selectAdministrationTask(int position);
    void showLoginOrCertificates();
    // The request page of the current key when it is logged in, else the login page.
    void showLoginOrEnrolment();
    // True for one of the maker's product ids while the token library is ready.
    bool acceptsDevice(int productId) const;

    QTreeWidget& tree_;
    ImageList& icons_;
    PageStack& pages_;
    KeyGuard& guard_;
    KeyOperationRunner& runner_;
    QTimer& findTimer_;
    bool libraryReady_ = false;
    int32_t lastScanCode_ = 0;
    int scanCountdown_ = 3;
    // The key in each slot as the last scan found them.
    std::vector<token::flows::KeyIdentity> shownKeys_;
    SessionKeeper keeper_;
    // The key a full scan selects when it finds it again, and the slot it had.
    struct KeyToSelect {
        token::flows::KeyIdentity identity;
        int32_t slot = 0;
        // Where the key is among `keys`, found by its identity.
        std::optional<int32_t> slotIn(const std::vector<token::flows::KeyIdentity>& keys) const;
    };
    std::optional<KeyToSelect> keyToSelect_;
};

} // namespace ui
