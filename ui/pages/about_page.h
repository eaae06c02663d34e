// Page 6 (TabSheet7): the language box, the maker's web and mail addresses (a click opens them) and the
// rights notice, with the program's name and version below it.
#pragma once

#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;

namespace ui {

class LinkLabel;

class AboutPage : public QWidget {
    Q_OBJECT
public:
    explicit AboutPage(QWidget* parent);

    QLabel* label_language;
    QComboBox* cbLanguageID;
    QLabel* Label17;
    LinkLabel* Label20;
    QLabel* Label18;
    LinkLabel* Label19;
    QFrame* Bevel1;
    QLabel* Label15;
    // The program's name and version, filled with the window's texts.
    QLabel* lblProgramVersion;

    // Opens the web address Label20 shows; when the desktop cannot open it, hands it to the web browser.
    void openWebAddress();
    // Starts a mail to the address Label19 shows.
    void openMailAddress();

private:
    LinkLabel* makeAddressLabel(const char* name, const QRect& geometry);
};

} // namespace ui
