#pragma once
// The folder information report: a plain text file that repeats what the pages show for one
// folder (the pie page's header, the folder info page, the wasted space page) and ends with the
// subfolder list in aligned columns. UTF-8, CR LF line ends.

#include <QString>
#include <QStringList>

#include "views/FolderInfoPage.h"
#include "views/SubfoldersPage.h"
#include "views/WastedSpacePage.h"

// The pages' texts, taken after the pages were presented for the folder.
struct TFolderReportContent {
    QString TypeText;  // the pie page header's type: the shell's, or "Root Folder of Drive"
    QString NameText;  // the header's name: the shell's display name
    QString Location;  // the folder's full path
    TFolderInfoPage::TTexts Info;
    TWastedSpacePage::TTexts Wasted;
    int32_t ActualClusterSize = -1;  // the drive's own: its row is marked "->"
    TListTable Subfolders;
    QStringList Notes;  // after the list: how files were counted, where an import came from
};

// Writes the report, replacing any file of that name, then appends the subfolder list. A failure
// shows "Generating report failed" (the list's writer shows its own too) and keeps what was
// written; false when the file was not written whole.
bool WriteFolderInfoReport(const QString& fileName, const TFolderReportContent& content);
