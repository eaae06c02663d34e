// The language box of the about page: a language the user picks is stored in Languages/LanguageConfig.ini
// (beside the program, or the user's own copy when the program folder cannot be written),
// its language file is loaded, the texts are put onto the window again, the navigation tree is rebuilt and
// the keys are rescanned, in that order. Only the user's picks run it, not the filling of the box at start.
#pragma once

#include <QObject>

namespace ui {

class AboutPage;

class LanguageHandler : public QObject {
    Q_OBJECT
public:
    // Connects cbLanguageID's user choices; the setting is kept beside the program in `programFolder` (or in
    // the user's own copy).
    LanguageHandler(AboutPage& page, const QString& programFolder, QObject* parent);

    // Fills cbLanguageID with `languageId` chosen and takes the chosen item's language as the one in effect.
    void showLanguage(int languageId);

    // The language the texts are in now (2052 until told otherwise, the built-in texts).
    void setLanguageInEffect(int languageId) { languageInEffect_ = languageId; }
    int languageInEffect() const { return languageInEffect_; }

    // The change to the box's item `item`. When the setting cannot be written the failure is reported, the
    // box goes back to the language in effect and nothing else changes.
    void cbLanguageIDChange(int item);

signals:
    // The texts of the new language were loaded: the window wants them applied.
    void languageChanged();

private:
    void showLanguageInEffect();

    AboutPage& page_;
    QString programFolder_;
    int languageInEffect_;
};

} // namespace ui
