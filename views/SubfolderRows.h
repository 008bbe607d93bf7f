#pragma once
// The rows of the subfolder list, worked out without a widget: which subfolders the filter lets
// through, the texts of their eight columns, and their order under a sort code. The page shows
// them; a report writes them as they are.

#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

#include "views/Presentation.h"

struct TSubfolderRow {
    QStringList Texts;                 // Name, Size, Allocated, Wasted, % of Parent, Objects, ...
    std::array<uint32_t, 2> Stamps{};  // the packed last access and last change
};

// Which subfolders are listed and how they are ordered.
struct TSubfolderChoice {
    int DisplayType = 2;    // 0 the largest Top, 1 those of at least Threshold bytes, 2 all
    int Top = 0;            // the number listed by the first
    int64_t Threshold = 0;  // bytes
    int SortCode = 1;       // the column number 1 to 8, negative for descending
};

// The sort code the list is shown in: the largest folders and those larger than a size are
// always listed by size, largest first (with the wasted space when the sizes include it).
int ShownSortCode(const TSubfolderChoice& choice, bool includeWasted);

// The eight captions, the sorted one marked with "-> ".
QStringList SubfolderCaptions(int sortCode);

// The rows of the presented folder's subfolders that the choice lets through, sorted under
// ShownSortCode and cut to the top ones.
std::vector<TSubfolderRow> SubfolderRows(const TPresentation& presentation,
                                         const TSubfolderChoice& choice);

// The order of two rows under a sort code: its sign orders them. Names compare as the locale
// sorts them, the size, share and count columns by their texts (one format per column: the
// longer text is the larger), the dates by their stamps.
int CompareSubfolderRows(const TSubfolderRow& a, const TSubfolderRow& b, int sortCode);

// Sorts stably under the sort code, as CompareSubfolderRows orders.
void SortSubfolderRows(std::vector<TSubfolderRow>& rows, int sortCode);
