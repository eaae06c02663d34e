// Puts the current texts of the string table onto the main window: its font, its title, the captions of
// labels, actions, list headers and tabs, and the first node of the navigation tree. Labels of input rows get
// the text followed by ":" (an entry that already ends in a colon shows both). Runs when the window is
// created and after every change of language.
#pragma once

#include <QFont>

class TMainForm;

// `font` with the name and size of FontName and FontSize; a name or size that the string table leaves blank
// or not a number keeps the one of `font`, so a language file without them still shows every text.
QFont stringTableFont(QFont font);

void ApplyLanguage(TMainForm& form);
