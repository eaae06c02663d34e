// The key information page (TabSheet1): thirteen caption/value rows describing what a key reports about
// itself, in the list lv.
#pragma once

#include <QObject>
#include <cstdint>

namespace token {
struct TPinState;
struct TZartoInfo;
} // namespace token

namespace ui {

class KeyInfoPage;
class KeyOperationRunner;

class KeyInfoHandler : public QObject {
    Q_OBJECT
public:
    KeyInfoHandler(KeyInfoPage& page, KeyOperationRunner& runner, QObject* parent);

    // Refreshes the key information of `slot` and fills lv; a failed information read changes nothing.
    void ShowKeyInfo(int32_t slot);
    // Empties lv: the keys it described are being read anew.
    void forgetKey();

private:
    void showRows(const token::TZartoInfo& key, const token::TPinState& pin, const token::TPinState& soPin);

    KeyInfoPage& page_;
    KeyOperationRunner& runner_;
};

} // namespace ui
