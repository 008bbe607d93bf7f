#pragma once
// The file lists from the command line, without a window: "--largest N FOLDER [FILE]" and
// "--types FOLDER [FILE]" scan FOLDER (or find it in an imported ncdu export) and write the list
// as CSV to FILE, or to standard output without one (or for "-").

#include <QString>
#include <QStringList>

#include "app/NcduTransfer.h"

struct TFileListRequest {
    enum class TKind { None, Largest, Types };
    TKind Kind = TKind::None;
    int Count = 0;  // of the largest files
    QString Folder;
    QString File;   // empty: standard output
    QString Error;  // a malformed request
};

// The request the arguments (those left after the ncdu options) make; Kind None when they
// make none.
TFileListRequest FileListRequestOf(const QStringList& arguments);

// Works the request through: the exit status (TExitStatus), what failed on standard error.
int FileListFromCommandLine(const TFileListRequest& request, const TNcduOptions& ncdu);
