#pragma once
// The properties and the context menu of a file or folder, our own in place of the shell's.
//
// path may end in a wildcard name ("C:\dir\*.tmp"): both then act on every entry that matches, at
// once, as one multiple selection. A drive root ("C:\") is an item too. While the items are
// gathered the pointer is the hourglass; the previous pointer comes back before anything is shown.

#include <QPoint>
#include <QString>

class QWidget;

// Shows the properties dialog of the item(s) (through desktop::RunModal): name, type,
// location, size, contents, dates, attributes, permissions and owner. False when nothing exists
// at path.
bool ShowItemProperties(const QString& path, QWidget* owner);

// Shows the context menu of the item(s) at the screen point and carries out the command chosen:
// "Open", "Open Containing Folder", "Copy Location", "Move to Trash", "Delete", "Properties"
// (a drive root can be neither trashed nor deleted). True unless nothing exists at path or the
// chosen command failed; choosing nothing is no failure.
bool ShowItemContextMenu(const QString& path, QWidget* owner, const QPoint& screenPoint);
