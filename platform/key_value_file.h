// The "key=value" text files of the desktop: os-release (no groups, shell-style quoting) and the XDG key
// files (desktop entries, mimeapps.list) with "[Group]" headers. Keys match exactly; '#' starts a comment
// line.
#pragma once

#include <QString>

namespace platform {

// The value of `key` in `group` of the file at `path` ("" for a file without groups); empty when the file,
// the group or the key is missing. The first occurrence counts.
QString keyFileValue(const QString& path, const QString& group, const QString& key);
// A value of os-release with its shell-style quoting undone: surrounding single or double quotes removed and,
// inside double quotes, backslash escapes resolved.
QString unquotedShellValue(const QString& value);

} // namespace platform
