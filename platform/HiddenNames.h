#pragma once
// The hidden attribute on Linux. A name that starts with "." is hidden; so is a name that its
// folder's ".hidden" file lists, one name a line, the convention GLib's file information and
// the file managers that use it follow. The second way hides a folder without renaming it,
// which a name that others rely on (the archives folder "Archives Bin") needs.

#include <QByteArray>
#include <QString>
#include <vector>

namespace platform {

// The name of the list in each folder.
inline constexpr char kHiddenListName[] = ".hidden";

// The names a ".hidden" file's bytes list: one a line, LF or CRLF line ends, empty lines left
// out.
std::vector<QByteArray> HiddenNamesOf(const QByteArray& contents);

// True when a name (its bytes on the host) is hidden in a folder whose list holds listed.
bool IsHiddenName(const char* name, const std::vector<QByteArray>& listed);

// Gives the file or folder at a program path the hidden attribute, or takes it away, through
// its folder's ".hidden" file: the name is added or removed, the other lines stay as they are,
// and a list left empty is deleted. The file is replaced atomically. A name starting with "."
// stays hidden whatever is asked. False when the list cannot be read or written, or the path is
// on no drive or is a drive's root.
bool SetHiddenAttribute(const QString& path, bool hidden);

}  // namespace platform
