// Makes the program folder count as read-only for settings files while the object lives, as an installed,
// root-owned folder is for an ordinary user. Tests run as root, whom permission bits never refuse a write, so
// the writability check is replaced instead of the folder's mode.
#pragma once

#include "config/settings_file.h"

class ReadOnlyProgramFolder {
public:
    ReadOnlyProgramFolder()
        : previous_(config::SettingsFile::setWritableCheck([](const QString&) { return false; })) {}
    ~ReadOnlyProgramFolder() { config::SettingsFile::setWritableCheck(previous_); }
    ReadOnlyProgramFolder(const ReadOnlyProgramFolder&) = delete;
    ReadOnlyProgramFolder& operator=(const ReadOnlyProgramFolder&) = delete;

private:
    config::SettingsFile::WritableCheck previous_;
};
