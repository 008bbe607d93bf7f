#pragma once
// What the program offers the desktop and takes from it: the file manager's folder verb (a
// desktop entry that opens a folder with the program) and the desktop's file search.
//
// The folder verb is the file $XDG_DATA_HOME/applications/quillon-pro-folder.desktop (by default
// under ~/.local/share). It offers the program under "Open With" for folders only: it is hidden
// from the application menus and never written into mimeapps.list, so the program does not take
// the place of the file manager as what opens folders.

#include <QString>

#include "desktop/Shell.h"

namespace desktop {

// The file the folder verb lives in.
QString FolderVerbPath();

// True when the folder verb's file exists.
bool FolderVerbExists();

// The desktop entry that starts program (a host path) with the chosen folder, offered under the
// caption; the program's path is quoted and escaped so that any name survives the file manager's
// reading of it.
QString FolderVerbEntry(const QString& caption, const QString& programHostPath);

// Writes the folder verb (replacing what was there) and refreshes the desktop's database of
// applications where its tool is installed. Returns the reason of a failure, empty on success.
QString WriteFolderVerb(const QString& caption, const QString& programHostPath);

// Removes the folder verb; a verb that is not there is no error.
void RemoveFolderVerb();

// The desktop's file search tool on the search path, as a host path; empty when none is
// installed. Tried in this order: the one of the running desktop (KDE's kfind, Xfce's catfish,
// MATE's and GNOME's search tools), then the others.
QString FileSearchProgram();

// The shell's "find" on a folder (program path; empty for none): the desktop's file search tool
// started in that folder, or, where none is installed, the file manager on the folder (on the
// user's home folder when no folder is given).
ShellOutcome FindFilesIn(const QString& folder);

}  // namespace desktop
