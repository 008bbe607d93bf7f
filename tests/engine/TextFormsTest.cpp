#include "engine/TextForms.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <ctime>

#include "tests/fixtures/QtPrinters.h"

using namespace engine;
using platform::FileTime;

namespace {

// Sets the default locale for the test's lifetime.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

// Sets the process's time zone for the test's lifetime.
class TimeZoneScope {
public:
    explicit TimeZoneScope(const char* zone)
        : previous_(qgetenv("TZ")), had_(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneScope() {
        if (had_)
            qputenv("TZ", previous_);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray previous_;
    bool had_;
};

FileTime LocalFileTime(int year, int month, int day, int h, int m, int s, int ms = 0) {
    const QDateTime local(QDate(year, month, day), QTime(h, m, s, ms), Qt::LocalTime);
    return FileTime(local.toMSecsSinceEpoch() * 10000 + platform::kUnixEpochAsFileTime);
}

}  // namespace

TEST(TextForms, SizeTextScalesAndRoundsHalfAwayFromZero) {
    const struct {
        int64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 bytes"},
        {1, "1 bytes"},
        {1024, "1,024 bytes"},
        {1025, "1 KB"},
        {1536, "2 KB"},  // 1.5
        {2560, "3 KB"},  // 2.5: not to even
        {1048575, "1,024 KB"},
        {1048576, "1.0 MB"},
        {1572864, "1.5 MB"},
        {1310720, "1.3 MB"},  // 1.25
        {1073741823, "1,024.0 MB"},
        {1073741824, "1.00 GB"},
        {1207959552, "1.13 GB"},  // 1.125
        {1610612736, "1.50 GB"},
        {5497558138880LL, "5,120.00 GB"},
        {INT64_MAX, "8,589,934,592.00 GB"},
        {-1, "-1 bytes"},
        {-5000, "-5,000 bytes"},  // differences stay in bytes
    };
    for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), QString::fromUtf8(c.text)) << c.bytes;
}

TEST(TextForms, SmallSizeTextStopsAtMegabytes) {
    EXPECT_EQ(SmallSizeText(512), QStringLiteral("512 bytes"));
    EXPECT_EQ(SmallSizeText(4096), QStringLiteral("4 KB"));
    EXPECT_EQ(SmallSizeText(1048576), QStringLiteral("1.0 MB"));
    EXPECT_EQ(SmallSizeText(INT32_MAX), QStringLiteral("2,048.0 MB"));
    EXPECT_EQ(SmallSizeText(int64_t(5) << 30), QStringLiteral("5,120.0 MB"));  // not its low half
    EXPECT_EQ(SmallSizeText(-1), QStringLiteral("-1 bytes"));
}

TEST(TextForms, NumbersRoundTiesAwayFromZeroInBothDirections) {
    const struct {
        double x;
        int decimals;
        const char* text;
    } cases[] = {
        {1.5, 0, "2"},
        {2.5, 0, "3"},
        {0.5, 0, "1"},
        {-1.5, 0, "-2"},
        {-2.5, 0, "-3"},
        {0.125, 2, "0.13"},
        {-0.125, 2, "-0.13"},
        {0.375, 2, "0.38"},
        {1.25, 1, "1.3"},
        {-1.25, 1, "-1.3"},
        {1.24, 1, "1.2"},
        {-0.4, 0, "0"},
        {1234567, 0, "1,234,567"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberText(c.x, c.decimals), QString::fromUtf8(c.text)) << c.x;
}

TEST(TextForms, CountsAndExactBytes) {
    EXPECT_EQ(CountText(1234567), QStringLiteral("1,234,567"));
    EXPECT_EQ(CountText(0), QStringLiteral("0"));
    EXPECT_EQ(CountText(-1234), QStringLiteral("-1,234"));
    EXPECT_EQ(CountText(9000000000LL), QStringLiteral("9,000,000,000"));
    EXPECT_EQ(ExactBytesText(1), QStringLiteral("1 byte"));
    EXPECT_EQ(ExactBytesText(0), QStringLiteral("0 bytes"));
    EXPECT_EQ(ExactBytesText(2), QStringLiteral("2 bytes"));
    EXPECT_EQ(ExactBytesText(1234), QStringLiteral("1,234 bytes"));
}

TEST(TextForms, LocaleSeparatorsAndNames) {
    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(CountText(1234567), QStringLiteral("1.234.567"));
    EXPECT_EQ(SizeText(1572864), QStringLiteral("1,5 MB"));
    EXPECT_EQ(SizeText(1610612736), QStringLiteral("1,50 GB"));
    EXPECT_EQ(FileTimeText(LocalFileTime(1999, 3, 2, 0, 0, 0)),
              QStringLiteral("Dienstag, März 2, 1999"));
}

// Names in reports and pictures: one line each, and no two alike that differ on the disk.
TEST(TextForms, VisibleNamesShowControlCharactersAndUndecodableBytesAsEscapes) {
    const struct {
        QString name;
        const char* shown;
        const char* inCsv;  // control characters kept
    } cases[] = {
        {"plain", "plain", "plain"},
        {"tab\there", "tab%09here", "tab\there"},
        {"new\r\nline", "new%0D%0Aline", "new\r\nline"},
        {QString("nul") + QChar(0) + "x", "nul%00x", nullptr},
        {QString("caf") + QChar(0xDCE9), "caf%E9", "caf%E9"},  // the byte E9, not UTF-8
        {"caf\u00e9", "caf\u00e9", "caf\u00e9"},               // the letter, as UTF-8 has it
        {"100%", "100%25", "100%25"},
        {"100%E9", "100%25E9", "100%25E9"},  // never read as the byte
        {"\U0001F600 smile", "\U0001F600 smile", "\U0001F600 smile"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(VisibleName(c.name), QString::fromUtf8(c.shown));
        if (c.inCsv) {
            EXPECT_EQ(VisibleName(c.name, true), QString::fromUtf8(c.inCsv));
        }
    }
}

// Lists and reports: the locale's short date with the year whole, its long time without a zone.
TEST(TextForms, DatesAndTimesAsTheLocaleWritesThemWithTheYearWhole) {
    const struct {
        QLocale locale;
        const char* text;
    } cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "3/2/2011 4:07:08 PM"},
        {QLocale(QLocale::German, QLocale::Germany), "02.03.2011 16:07:08"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "02/03/2011 16:07:08"},
        {QLocale(QLocale::Chinese, QLocale::China), "2011/3/2 16:07:08"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        LocaleScope scope(c.locale);
        EXPECT_EQ(DateTimeText(QDate(2011, 3, 2), QTime(16, 7, 8)), QString::fromUtf8(c.text));
    }
}

TEST(TextForms, FileTimeTextInLocalTime) {
    for (const char* zone : {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "IST-5:30"}) {
        TimeZoneScope tz(zone);
        SCOPED_TRACE(zone);
        EXPECT_EQ(FileTimeText(LocalFileTime(1999, 3, 2, 16, 7, 9)),
                  QStringLiteral("Tuesday, March 2, 1999 04:07:09 PM"));
        // Exactly local midnight has no time of day; a millisecond later it has.
        EXPECT_EQ(FileTimeText(LocalFileTime(2024, 7, 14, 0, 0, 0)),
                  QStringLiteral("Sunday, July 14, 2024"));
        EXPECT_EQ(FileTimeText(LocalFileTime(2024, 7, 14, 0, 0, 0, 1)),
                  QStringLiteral("Sunday, July 14, 2024 12:00:00 AM"));
        EXPECT_EQ(FileTimeText(LocalFileTime(2024, 7, 14, 0, 30, 0)),
                  QStringLiteral("Sunday, July 14, 2024 12:30:00 AM"));
        EXPECT_EQ(FileTimeText(LocalFileTime(2024, 7, 14, 12, 0, 0)),
                  QStringLiteral("Sunday, July 14, 2024 12:00:00 PM"));
        EXPECT_EQ(FileTimeText(LocalFileTime(2024, 1, 5, 13, 5, 0)),
                  QStringLiteral("Friday, January 5, 2024 01:05:00 PM"));
    }
}

TEST(TextForms, DosStampsPackLocalTimeAndKeepTheirOrder) {
    TimeZoneScope tz("EST5EDT,M3.2.0,M11.1.0");
    const uint32_t stamp = FileTimeDosStamp(LocalFileTime(1999, 3, 2, 16, 7, 9));
    EXPECT_EQ(stamp >> 16, (19u << 9) | (3u << 5) | 2u);
    EXPECT_EQ(stamp & 0xFFFF, (16u << 11) | (7u << 5) | 4u);  // seconds halved

    const FileTime times[] = {0,
                              LocalFileTime(1979, 12, 31, 23, 59, 59),
                              LocalFileTime(1980, 1, 1, 0, 0, 2),
                              LocalFileTime(2024, 2, 29, 8, 0, 0),
                              LocalFileTime(2107, 12, 31, 23, 59, 58),
                              LocalFileTime(2200, 1, 1, 0, 0, 0)};
    for (size_t i = 1; i < std::size(times); ++i)
        EXPECT_LE(FileTimeDosStamp(times[i - 1]), FileTimeDosStamp(times[i])) << i;
    EXPECT_EQ(FileTimeDosStamp(0), 0u);  // unknown: the list shows it empty
}

TEST(TextForms, ZeroTime) {
    EXPECT_TRUE(IsZeroTime(0));
    EXPECT_FALSE(IsZeroTime(1));
    EXPECT_FALSE(IsZeroTime(FileTime(1) << 32));
}

TEST(TextForms, PathHelpers) {
    const struct {
        const char* path;
        const char* added;
        const char* removed;
        bool root;
        const char* parent;
    } cases[] = {
        {"", "", "", false, ""},
        {"C:", "C:\\", "C:", true, "C:"},
        {"C:\\", "C:\\", "C:", true, "C:\\"},
        {"C:\\A", "C:\\A\\", "C:\\A", false, "C:\\"},
        {"C:\\A\\B", "C:\\A\\B\\", "C:\\A\\B", false, "C:\\A"},
        {"C:\\A\\B\\", "C:\\A\\B\\", "C:\\A\\B", false, "C:\\A\\B"},
        {"\\\\server\\share", "\\\\server\\share\\", "\\\\server\\share", false, "\\\\server"},
        {"name", "name\\", "name", false, ""},
    };
    for (const auto& c : cases) {
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(AddBackslash(path), QString::fromUtf8(c.added)) << c.path;
        EXPECT_EQ(RemoveBackslash(path), QString::fromUtf8(c.removed)) << c.path;
        EXPECT_EQ(IsDriveRoot(path), c.root) << c.path;
        EXPECT_EQ(ParentFolderPath(path), QString::fromUtf8(c.parent)) << c.path;
    }
}
