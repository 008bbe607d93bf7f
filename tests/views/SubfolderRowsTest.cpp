// The subfolder list worked out without a widget: the order of its rows under every sort code,
// and the list a report writes against the one the page shows.
#include "views/SubfolderRows.h"

#include <QTreeWidget>
#include <algorithm>
#include <random>

#include "tests/views/PageTestSupport.h"
#include "views/SubfoldersPage.h"

namespace {

class SubfolderRowsTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        optIncludeWastedInformation->Value = false;
        // Names the locale orders otherwise than their characters, and sizes whose texts tie.
        const struct {
            const char* name;
            int64_t bytes;
        } folders[] = {
            {"Zeta", 1000 * 1024},
            {"zeta", 999 * 1024},
            {"\xC3\x84pfel", 100},
            {"apfel", 2048},
            {"a10", 3 * 1024},
            {"a9", 100},
            {"_under", 0},
            {"stra\xC3\x9F"
             "e",
             5000},
            {"strasse", 5000},
            {"a b", 10 * 1024},
            {"\xCE\xA9mega", 1},
            {"12", 123456},
        };
        for (const auto& f : folders) drive.file(QStringLiteral("p/%1/x").arg(f.name), f.bytes);
        drive.folder("p/empty");  // no files: no dates
        drive.setTimes("p/a9/x", QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)),
                       QDateTime(QDate(2002, 3, 4), QTime(5, 6, 8)));
        p = Scanned("p");
    }
    TPresentation Presented(bool includeWasted) const {
        return {p, engine::NodePath(p), QChar(engine::NodePath(p)[0]), 4096, -1, -1, includeWasted};
    }

    engine::TFolderNode* p = nullptr;
};

// How the list compared its rows before it had a comparison of its own: the names and every
// text column by the locale, texts of one column by their length first.
bool OrderedAsTheLocaleSays(const TSubfolderRow& a, const TSubfolderRow& b, int sortCode) {
    const int column = std::abs(sortCode);
    int64_t result = 0;
    if (column == 1) {
        result = QString::localeAwareCompare(a.Texts[0], b.Texts[0]);
    } else if (column <= 6) {
        const QString& x = a.Texts[column - 1];
        const QString& y = b.Texts[column - 1];
        result = x.size() - y.size();
        if (result == 0) result = QString::localeAwareCompare(x.toLower(), y.toLower());
    } else {
        result = int64_t(a.Stamps[size_t(column - 7)]) - int64_t(b.Stamps[size_t(column - 7)]);
    }
    return sortCode < 0 ? result > 0 : result < 0;
}

QStringList Names(const std::vector<TSubfolderRow>& rows) {
    QStringList names;
    for (const TSubfolderRow& row : rows) names << row.Texts[0];
    return names;
}

}  // namespace

TEST_F(SubfolderRowsTest, EverySortCodeOrdersAsTheLocaleAndTheTextsSay) {
    // As the folder holds them (in the order of names already), and shuffled.
    const std::vector<TSubfolderRow> listed = SubfolderRows(Presented(false), {2, 0, 0, 1});
    ASSERT_EQ(listed.size(), 13u);
    const std::vector<TSubfolderRow> shuffled = [&] {
        std::vector<TSubfolderRow> rows = listed;
        std::shuffle(rows.begin(), rows.end(), std::mt19937(7));
        return rows;
    }();
    for (int code : {1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6, 7, -7, 8, -8})
        for (const std::vector<TSubfolderRow>* rows : {&listed, &shuffled}) {
            SCOPED_TRACE(testing::Message() << code << (rows == &listed ? " listed" : " shuffled"));
            std::vector<TSubfolderRow> expected = *rows, sorted = *rows;
            std::stable_sort(expected.begin(), expected.end(),
                             [code](const auto& a, const auto& b) {
                                 return OrderedAsTheLocaleSays(a, b, code);
                             });
            SortSubfolderRows(sorted, code);
            EXPECT_EQ(Names(sorted), Names(expected));
            for (size_t i = 1; i < sorted.size(); ++i)
                EXPECT_LE(CompareSubfolderRows(sorted[i - 1], sorted[i], code), 0) << i;
        }
}

TEST_F(SubfolderRowsTest, TheReportListsWhatThePageShows) {
    using TFilter = TSubfoldersPage::TFilter;
    const struct {
        TFilter filter;
        bool wasted;
        int rows;
    } cases[] = {
        {{2, "10", 1, "0", 1}, false, 13},
        {{2, "10", 1, "0", -7}, false, 13},
        {{2, "10", 1, "0", 5}, true, 13},
        {{0, "3", 1, "0", 1}, false, 3},
        {{0, "3", 1, "0", 1}, true, 3},
        {{0, "many", 1, "0", 1}, false, 10},  // no number: the setting's default
        {{0, "-4", 1, "0", 1}, false, 0},
        {{1, "10", 1, "3", 1}, false, 7},  // at least 3 KB
        {{1, "10", 0, "5000", 1}, false, 6},
        {{1, "10", 2, "99999", 1}, false, 0},  // the box holds at most 32767
        {{1, "10", 1, "lots", 1}, false, 13},  // no number: 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << &c - cases);
        TSubfoldersPage page;
        page.SetFilter(c.filter);
        page.Present(Presented(c.wasted));
        const TListTable shown = page.Table();
        const TListTable written = TSubfoldersPage::TableFor(Presented(c.wasted), c.filter);
        EXPECT_EQ(written.Captions, shown.Captions);
        EXPECT_EQ(written.Rows, shown.Rows);
        EXPECT_EQ(int(written.Rows.size()), c.rows);
    }
}
