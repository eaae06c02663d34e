// Finding the keys and moving around the navigation tree: the scan that rebuilds the key nodes, the tree's
// selection handler that turns a node into a page and a current key, the reaction to keys plugged in and
// pulled out (a short, bounded series of rescans), and the enabled state of the certificate actions.
#pragma once

#include <QObject>
#include <cstdint>

class QTreeWidgetItem;
class TMainForm;

namespace ui {

class KeyNavigator : public QObject {
    Q_OBJECT
public:
    // The product ids of the maker's keys; device events of other products are ignored.
    static constexpr int kProductIds[] = {0xE917, 0xDB08, 0xE618};

    // Connects the selection changes of tv and tvCert, the TFindUSBKey tick and AcFindKeyRefresh.
    explicit KeyNavigator(TMainForm& form);

    // Finds and reads every key and rebuilds the key nodes; 0 when at least one key was found and read.
    int32_t ScanKeys();
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
    // AcFindKeyRefresh: rescans; a scan that found keys starts TCheckInit.
    void AcFindKeyRefreshExecute();
    // Enables AcDel, AcOutput, AcListCert and AcDelCert from the login state and the tvCert selection.
    void UpdateCertActions();
    // Closes the import dialog (a top-level window of class TIMForm) when one is open.
    void CloseImportDialog();

    int scanCountdown() const { return scanCountdown_; }

private:
    // Every slot back to "no key", the information list emptied, the certificate actions updated.
    void forgetKeys();
    QTreeWidgetItem* keyListNode();
    void removeKeyNodes(QTreeWidgetItem* keyList);
    void addErrorNode(QTreeWidgetItem* keyList);
    void addKeyNode(QTreeWidgetItem* keyList, int32_t slot);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, int image);
    void showPage(int page);
    void selectRootNode(int position);
    void selectKeyTask(int position);
    void selectAdministrationTask(int position);
    void showLoginOrCertificates();
    // True for one of the maker's product ids while the token library is ready.
    bool acceptsDevice(int productId) const;

    TMainForm& form_;
    int scanCountdown_ = 3;
};

} // namespace ui
