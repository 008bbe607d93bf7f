#pragma once
// The Trash as the freedesktop.org Trash standard lays it out: the home trash under
// $XDG_DATA_HOME (created first, and only used when that is an absolute path), or the trash at
// the top of the item's own file system ($topdir/.Trash/$uid, else $topdir/.Trash-$uid). An item
// goes in by rename, never by copy, after its .trashinfo file has claimed a free name; every
// folder of the trash is opened without following a link.

#include <QByteArray>
#include <QString>

#include "platform/FileOperationSupport.h"

namespace platform {

// The user's data folder: $XDG_DATA_HOME, or ~/.local/share when that variable is unset or
// relative; empty when neither gives an absolute path.
QString DataHome();

// The folder holding the home trash ($XDG_DATA_HOME/Trash, or ~/.local/share/Trash when that
// variable is unset or relative); empty when neither gives an absolute path.
QString HomeTrashFolder();

namespace fileops {

struct TrashPlace {
    Fd files;  // the trash's files/ and info/ folders
    Fd info;
    QString real;    // the trash folder's host path, links resolved
    QString topdir;  // empty for the home trash, whose Path= lines are absolute
};

// The trash that can take the entry name of the open folder parentFd (on the file system dev),
// made when missing. False with why ("the Trash is inside it") when there is none.
bool FindTrash(int parentFd, const QByteArray& name, DeviceId dev, TrashPlace& place, QString& why);

// Moves the entry into the trash: an info file claimed first under a free name, then the
// rename. False with the system's words in why; the item then stays where it was.
bool MoveToTrash(int parentFd, const QByteArray& name, const TrashPlace& place, QString& why);

}  // namespace fileops

}  // namespace platform
