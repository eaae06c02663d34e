// Page 10 (TabSheet11): writing an ISO image to the key's disk area: user PIN, image path, progress with its
// percentage, the write button.
#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ui {

class ActionButton;
class ButtonEdit;
struct MainActions;

class IsoPage : public QWidget {
    Q_OBJECT
public:
    IsoPage(const MainActions& actions, QWidget* parent);

    QGroupBox* RzGroupBox6;
    QLabel* LAdmin_UPIN;
    QLineEdit* edtUPINForDownISO;
    QLabel* LAdmin_ISOPath;
    ButtonEdit* edtPath;
    QProgressBar* PBISO;
    ActionButton* Button8;
    // Stops a running write after its current block; shown only while a write runs.
    QPushButton* btnCancelISO;
};

} // namespace ui
