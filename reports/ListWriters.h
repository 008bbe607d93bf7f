#pragma once
// The list report writers: a list as the subfolders page shows it (captions, then one line per
// row, texts as shown) written as comma-separated values, tab-separated text, or text in
// aligned columns. Files are UTF-8 without a byte-order mark, every line ending in CR LF.
//
// A writer reports its own failure (opening or writing: a bad name, no access, a full disk, a
// missing file to append to) in the box "Generating report failed" and raises nothing; what was
// written before the failure stays in the file. Each answers whether the whole file was written.

#include <QString>

#include "views/SubfoldersPage.h"

// Captions joined by ",", then each row; a field holding a blank, a control character, a
// double quote or a comma is quoted, with its double quotes doubled.
bool ListViewToCSV(const TListTable& list, const QString& fileName);

// Every caption and every field followed by a tab, the last one of a line too; no quoting.
bool ListViewToTabText(const TListTable& list, const QString& fileName);

// Columns as wide as their longest text or caption plus 4 characters, the first left-aligned
// and the others right-aligned. With append the lines are added at the end of an existing file.
bool ListViewToFormattedText(const TListTable& list, const QString& fileName, bool append);

// The formatted text's lines, each ending in CR LF, for a caller that writes them itself.
QString FormattedText(const TListTable& list);

// The box every report shows when it could not be written, followed on standard error by the
// file and why (the system's words).
void ShowReportFailure(const QString& fileName, const QString& why);
