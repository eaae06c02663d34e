// A settings file that lives beside the program (Initconfig.ini, Languages/LanguageConfig.ini) and where it
// is read and written. While the program may write beside itself (a build folder, a portable copy) the file
// beside the program is read and written, as always. When it may not (an installed, root-owned program
// folder), the user's own copy at the same relative path in the per-user configuration folder is written
// instead and read first; until that copy exists the file beside the program is read.
#pragma once

#include <QString>
#include <functional>

namespace config {

class SettingsFile {
public:
    // Whether the program may replace the file at `path` (the file's folder and an existing file writable).
    using WritableCheck = bool (*)(const QString& path);
    // Writes the settings to the path given; false when the write was refused.
    using Writer = std::function<bool(const QString& path)>;

    // `programFolder` ends with '/'; `relativePath` is the file's path inside it.
    SettingsFile(const QString& programFolder, const QString& relativePath);

    // The file to read: the user's copy when the program folder's file cannot be written and the copy
    // exists, the file beside the program otherwise.
    QString readPath() const;
    // The file a write goes to: beside the program when it can be written there, else the user's copy.
    QString writePath() const;
    // Writes through `writer` to writePath(). A user's copy written for the first time starts as a copy of
    // the file beside the program, so its other lines carry over; a refused write leaves no copy behind.
    // Returns the writer's answer.
    bool write(const Writer& writer) const;

    // The check that decides; tests replace it (the root user may write anywhere). Returns the previous.
    static WritableCheck setWritableCheck(WritableCheck check);

private:
    bool besideProgramWritable() const;
    QString userCopyPath() const;
    // Makes the copy's folder and, when there is no copy yet, copies the file beside the program into it.
    // True when it made the copy.
    bool startUserCopy(const QString& copy) const;

    QString besideProgram_;
    QString relativePath_;
};

// The default check: QSaveFile writes a temporary file in the folder and renames it over the file.
bool mayReplaceFile(const QString& path);

} // namespace config
