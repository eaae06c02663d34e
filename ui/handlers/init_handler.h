// The initialisation page (TabSheet8): formatting the current key with the page's values, confirmed with the
// current SO PIN on a key that was initialised before, the page's defaults from Initconfig.ini (beside the
// program, or the user's own copy when the program folder cannot be written), and the check after a scan that
// every key found has been initialised.
#pragma once

#include "config/settings_file.h"
#include "platform/secret_bytes.h"
#include "token/flows/format_values.h"
#include "ui/key_guard.h"

#include <QList>
#include <QObject>
#include <cstdint>
#include <utility>

class QTimer;
struct TZartoBaseInfo;

namespace ui {

class ActionUpdater;
class InitPage;
class KeyGuard;
class KeyOperationRunner;
struct MainActions;

class InitHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcInit and the ticks of `checkTimer` (TCheckInit) and registers AcInit's update handler. The
    // settings are read and written beside the program in `programFolder` (or in the user's own copy).
    InitHandler(InitPage& page, const MainActions& actions, ActionUpdater& updater, KeyGuard& guard,
                KeyOperationRunner& runner, const QString& programFolder, QTimer& checkTimer,
                QObject* parent);

    // Fills the page from Initconfig.ini; a missing or unreadable file changes nothing.
    void LoadInitDefaults();
    // Checks the page, asks and proves the SO PIN on an initialised key, formats it, keeps the values as the
    // next defaults and rescans.
    void AcInitExecute();
    // Enables AcInit while the label and the manufacturer both hold text.
    void AcInitUpdate();
    // The TCheckInit tick: warns about the first key that arrived with the last scan and is not initialised,
    // and asks for its initialisation page unless the current key is logged in.
    void TCheckInitTimer();
    // The last scan found the keys at `arrived` for the first time: the checks until the next scan concern
    // them alone.
    void keysArrived(const QList<int32_t>& arrived);

signals:
    // A key was formatted: the keys want scanning anew.
    void formatted();
    // The initialisation page of the key at `slot` should show.
    void initialisationPageWanted(int32_t slot);

private:
    // The length checks of the two new PINs, in characters against the page's own limits.
    bool pinLengthsAllowed() const;
    // Every value fits its field of the format block (texts in their bytes without a zero byte, numbers in
    // their byte); otherwise K_Len_Error with the focus on the first value that does not.
    bool valuesFit(const TZartoBaseInfo& values) const;
    // The tab and the control of the page that hold `field`.
    std::pair<QWidget*, QWidget*> placeOf(token::flows::FormatField field) const;
    // On an initialised key: the question, the SO PIN lock and the prompt, then the format.
    void confirmWithSoPin(int32_t key, const TZartoBaseInfo& values);
    // The SO PIN typed at the prompt, trimmed; empty when the prompt was cancelled or the key changed.
    platform::SecretBytes askSoPin(const KeyTicket& ticket);
    void format(int32_t key, const TZartoBaseInfo& values, const platform::SecretBytes& soPin);
    void keepAsDefaults(const TZartoBaseInfo& values);
    config::SettingsFile initConfig() const;

    InitPage& page_;
    const MainActions& actions_;
    KeyGuard& guard_;
    KeyOperationRunner& runner_;
    QString programFolder_;
    QTimer& checkTimer_;
    QList<int32_t> arrivedSlots_;
};

} // namespace ui
