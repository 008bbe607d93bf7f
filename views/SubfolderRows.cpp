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

QString KbText(int64_t kilobytes) {
    return engine::CountText(kilobytes) + QLatin1String(" KB");
}

// The texts of packed DOS date-times: the short date and the long time, empty for 0 or a value
// that is no valid date.
QString StampText(const engine::TDateTimeForm& form, uint32_t stamp) {
    if (stamp == 0) return {};
    const uint32_t date = stamp >> 16, time = stamp & 0xFFFF;
    const QDate d(int(date >> 9) + 1980, int((date >> 5) & 15), int(date & 31));
    const QTime t(int(time >> 11), int((time >> 5) & 63), int(time & 31) * 2);
    if (!d.isValid() || !t.isValid()) return {};
    return form.Text(d, t);
}

// A column's text of each value, made once: in a wide folder most sizes, shares, counts and
// dates are those of other rows.
template <typename Value>
class TTextsOf {
public:
    template <typename Make>
    const QString& Text(Value value, Make make) {
        auto [at, added] = texts_.try_emplace(value);
        if (added) at->second = make(value);
        return at->second;
    }

private:
    std::unordered_map<Value, QString> texts_;
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
    const engine::TDateTimeForm dateForm;
    TTextsOf<int64_t> kilobytes, counts;
    TTextsOf<double> shares;
    TTextsOf<uint32_t> stamps;
    // Bytes as whole KB, halves to even.
    const auto kb = [&](int64_t bytes) -> const QString& {
        return kilobytes.Text(int64_t(std::nearbyint(double(bytes) / 1024)), KbText);
    };
    const auto stamp = [&](uint32_t packed) -> const QString& {
        return stamps.Text(packed, [&](uint32_t v) { return StampText(dateForm, v); });
    };
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
        const int64_t objects = r ? int64_t(r->TreeFileCount) + r->TreeFolderCount : 0;
        rows.push_back({{c->DisplayName(), kb(size), kb(size + wasted), kb(wasted),
                         shares.Text(share,
                                     [&](double v) {
                                         return locale.toString(v, 'f', 2) + QLatin1String(" %");
                                     }),
                         counts.Text(objects, engine::CountText), stamp(access), stamp(change)},
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
    // The folder tree holds children in this order already: a look along them is enough then.
    const QCollator collator;
    const bool inOrder =
        std::is_sorted(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
            const int c = collator.compare(a.Texts[0], b.Texts[0]);
            return sortCode < 0 ? c > 0 : c < 0;
        });
    if (inOrder) return;
    // By name: each name's collation key made once, not once for every comparison.
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
