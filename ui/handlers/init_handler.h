// The initialisation page: formatting the current key with the page's values, confirmed with the current SO
// PIN on a key that was initialised before, and the page's defaults from Initconfig.ini (beside the program,
// or the user's own copy when the program folder cannot be written).
#pragma once

#include "app/settings_file.h"
#include "platform/secret_bytes.h"

#include <QObject>
#include <cstdint>

class TMainForm;
struct TZartoBaseInfo;

namespace ui {

class InitHandler : public QObject {
    Q_OBJECT
public:
    // Connects AcInit and registers its update handler.
    explicit InitHandler(TMainForm& form);

    // Fills the page from Initconfig.ini; a missing or unreadable file changes nothing.
    void LoadInitDefaults();
    // Checks the page, asks and proves the SO PIN on an initialised key, formats it, keeps the values as the
    // next defaults and rescans.
    void AcInitExecute();
    // Enables AcInit while the label and the manufacturer both hold text.
    void AcInitUpdate();

private:
    // The length checks of the two new PINs, in characters against the page's own limits.
    bool pinLengthsAllowed() const;
    // Every text fits its field of the format block; otherwise K_Len_Error with the focus on the first text
    // that does not.
    bool textsFit(const TZartoBaseInfo& values) const;
    // On an initialised key: the question, the SO PIN lock and the prompt. False when the work stops.
    bool confirmWithSoPin(int32_t key, platform::SecretBytes& soPin);
    void format(int32_t key, const TZartoBaseInfo& values, const platform::SecretBytes& soPin);
    void keepAsDefaults(const TZartoBaseInfo& values);
    app::SettingsFile initConfig() const;

    TMainForm& form_;
};

} // namespace ui
