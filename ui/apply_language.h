// Puts the current texts of the string table onto the main window: its font, its title, the captions of
// labels, actions, list headers and tabs, and the first node of the navigation tree. Labels of input rows get
// the text followed by ":" (an entry that already ends in a colon shows both). Runs when the window is
// created and after every change of language.
#pragma once

class TMainForm;

void ApplyLanguage(TMainForm& form);
