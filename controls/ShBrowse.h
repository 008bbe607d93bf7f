#pragma once
// TFolderBrowse: the folder-browse dialog. Folder is the folder shown first and, after Execute
// answers true, the folder chosen (a program path such as "C:\home\ann").

#include <QString>

class QFileDialog;

class TFolderBrowse {
public:
    QString Folder;
    QString Title;           // the text shown above the folders
    bool AllowRoot = false;  // false: OK is disabled while a drive root is selected

    // Shows the dialog over the active window, starting at root (a program path; empty: the
    // folder of Folder, or the first drive). True when the user chose a folder that lies on a
    // drive; false when cancelled (Folder unchanged) or when the choice is on no drive (Folder
    // then empty). Shown through desktop::RunModal: without a screen it is not shown.
    bool Execute(const QString& root = {});
};

// True for a drive root: "C:\" (either case), "C:" too.
bool IsDriveRootPath(const QString& path);
