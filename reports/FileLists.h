#pragma once
// The file lists as comma-separated values for scripts and spreadsheets: the largest files below
// a folder and its files by type. Sizes are exact byte counts, dates ISO 8601 in UTC, paths the
// host's bytes, so that a line agrees with what find(1) says of the same file.

#include <QByteArray>
#include <vector>

#include "engine/FileQueries.h"

// "Path,Size,Size on Disk,Last Change,Type,Category,Marks", then one line per file in order;
// Marks holds "sparse" and "compressed" as they apply.
QByteArray LargestFilesCsv(const std::vector<engine::TFileHit>& hits);

// "Kind,Name,Files,Size,Size on Disk,% of Size", then a line per category ("Category",
// "Images") by size, then a line per extension ("Extension", "jpg"; "(none)" for files without
// one) by size.
QByteArray FileTypesCsv(const engine::TFileTypes& types);
