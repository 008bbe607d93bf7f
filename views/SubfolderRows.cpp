#include "views/SubfolderRows.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "engine/FolderTree.h"
#include "engine/TextForms.h"

namespace {

const char* const kColumns[] = {"Name",        "Size",    "Allocated",   "Wasted",
                                "% of Parent", "Objects", "Last Access", "Last Change"};

// Bytes as whole KB, halves to even.
QString KbText(int64_t bytes) {
    return engine::CountText(int64_t(std::nearbyint(double(bytes) / 1024))) + QLatin1String(" KB");
}

// The texts of packed DOS date-times: the short date and the long time, empty for 0 or a value
// that is no valid date. Folders written together share their stamps, and so their texts.
class TStampTexts {
public:
    const QString& Text(uint32_t stamp) {
        auto [at, added] = texts_.try_emplace(stamp);
        if (added) at->second = Make(stamp);
        return at->second;
    }

private:
    QString Make(uint32_t stamp) const {
        if (stamp == 0) return {};
        const uint32_t date = stamp >> 16, time = stamp & 0xFFFF;
        const QDate d(int(date >> 9) + 1980, int((date >> 5) & 15), int(date & 31));
        const QTime t(int(time >> 11), int((time >> 5) & 63), int(time & 31) * 2);
        if (!d.isValid() || !t.isValid()) return {};
        return form_.Text(d, t);
    }

    engine::TDateTimeForm form_;
    std::unordered_map<uint32_t, QString> texts_;
};

}  // namespace

int ShownSortCode(const TSubfolderChoice& choice, bool includeWasted) {
    if (choice.DisplayType == 0 || choice.DisplayType == 1) return includeWasted ? -3 : -2;
    return choice.SortCode;
}

QStringList SubfolderCaptions(int sortCode) {
    QStringList captions;
    for (int c = 0; c < 8; ++c)
        captions << (std::abs(sortCode) == c + 1 ? QStringLiteral("-> ") : QString()) +
                        QLatin1String(kColumns[c]);
    return captions;
}

std::vector<TSubfolderRow> SubfolderRows(const TPresentation& presentation,
                                         const TSubfolderChoice& choice) {
    std::vector<TSubfolderRow> rows;
    const engine::TFolderNode* p = presentation.Node;
    if (!p) return rows;
    const int64_t threshold = choice.DisplayType == 1 ? choice.Threshold : 0;
    const bool withWasted = presentation.IncludeWasted;
    const engine::TFolderSize* parent = p->Record();
    const int64_t parentTotal =
        parent ? parent->TreeSize + (withWasted ? engine::ShownTreeWasted(*parent) : 0) : 0;
    const QLocale locale;
    TStampTexts stamps;
    rows.reserve(size_t(p->ChildCount()));
    for (int i = 0; i < p->ChildCount(); ++i) {
        const engine::TFolderNode* c = p->Child(i);
        const engine::TFolderSize* r = c->Record();
        const int64_t size = r ? r->TreeSize : 0;
        const int64_t wasted = r ? engine::ShownTreeWasted(*r) : 0;
        const int64_t value = size + (withWasted ? wasted : 0);
        if (value < threshold) continue;
        const double share = parentTotal == 0 ? 0.0 : 100.0 * double(value) / double(parentTotal);
        const uint32_t access = r ? engine::FileTimeDosStamp(r->LastAccessTime) : 0;
        const uint32_t change = r ? engine::FileTimeDosStamp(r->LastWriteTime) : 0;
        rows.push_back({{c->DisplayName(), KbText(size), KbText(size + wasted), KbText(wasted),
                         locale.toString(share, 'f', 2) + QLatin1String(" %"),
                         engine::CountText(r ? int64_t(r->TreeFileCount) + r->TreeFolderCount : 0),
                         stamps.Text(access), stamps.Text(change)},
                        {access, change}});
    }
    SortSubfolderRows(rows, ShownSortCode(choice, withWasted));
    if (choice.DisplayType == 0 && rows.size() > size_t(std::max(choice.Top, 0)))
        rows.resize(size_t(std::max(choice.Top, 0)));
    return rows;
}

int CompareSubfolderRows(const TSubfolderRow& a, const TSubfolderRow& b, int sortCode) {
    const int column = std::abs(sortCode);
    int64_t result = 0;
    if (column == 1) {
        result = QString::localeAwareCompare(a.Texts[0], b.Texts[0]);
    } else if (column <= 6) {
        // Texts of one shape and length differ first where their digits do.
        const QString& x = a.Texts[column - 1];
        const QString& y = b.Texts[column - 1];
        result = x.size() - y.size();
        if (result == 0) result = x.compare(y);
    } else {
        result = int64_t(a.Stamps[size_t(column - 7)]) - int64_t(b.Stamps[size_t(column - 7)]);
    }
    if (sortCode < 0) result = -result;
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

void SortSubfolderRows(std::vector<TSubfolderRow>& rows, int sortCode) {
    if (std::abs(sortCode) != 1) {
        std::stable_sort(rows.begin(), rows.end(), [sortCode](const auto& a, const auto& b) {
            return CompareSubfolderRows(a, b, sortCode) < 0;
        });
        return;
    }
    // By name: each name's collation key made once, not once for every comparison.
    const QCollator collator;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows.size());
    for (const TSubfolderRow& row : rows) keys.push_back(collator.sortKey(row.Texts[0]));
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int c = keys[a].compare(keys[b]);
        return sortCode < 0 ? c > 0 : c < 0;
    });
    std::vector<TSubfolderRow> sorted;
    sorted.reserve(rows.size());
    for (size_t i : order) sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}
