#pragma once
// The text forms of sizes, counts, dates and paths that every page, window and report uses.
// Numbers follow the default QLocale (its group and decimal separators, its day and month
// names); they are rounded half away from zero. Units are powers of 1024.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <cstdint>
#include <functional>

#include "platform/WinTypes.h"

namespace engine {

// Makes the system's locale the default one, or English (United States) when the system has
// none (the C or POSIX locale). The program calls it once at start.
void UseSystemLocale();

// x rounded to the given decimals (half away from zero), with group separators: "%.Nn".
QString NumberText(double x, int decimals);

// "1,024 bytes", "1 KB", "1.5 MB", "1.50 GB": bytes up to 1,024, then KB below 1,024 KB, MB
// below 1,024 MB, then GB. Negative counts keep their sign and stay in bytes.
QString SizeText(int64_t bytes);
// As SizeText, at most MB ("5,120.0 MB" for 5 GB).
QString SmallSizeText(int64_t bytes);
// "1,234,567".
QString CountText(int64_t count);
// "1 byte", "0 bytes", "1,234 bytes".
QString ExactBytesText(int64_t bytes);

// "Tuesday, March 2, 1999 04:07:09 PM" in local time; without the time of day when that is
// exactly midnight.
QString FileTimeText(platform::FileTime time);
// A name as reports and pictures write it: control characters (line breaks, tabs, NUL) and the
// bytes of a host name that are not UTF-8 as "%" and two hexadecimal digits, and "%" itself as
// "%25", so that every name reads as one line and two names never read alike ("a%0Ab", "caf%E9").
// keepControls leaves control characters as they are (CSV quotes them).
QString VisibleName(const QString& name, bool keepControls = false);

// A date and a time as the locale writes them in lists and reports: its short date with the year
// written whole and its long time without the time zone ("3/2/2011 4:07:08 PM" in English (United
// States), "02.03.2011 16:07:08" in German).
QString DateTimeText(const QDate& date, const QTime& time);
// The same form worked out once, for lists that write many dates.
class TDateTimeForm {
public:
    TDateTimeForm();
    QString Text(const QDate& date, const QTime& time) const;

private:
    QLocale locale_;
    QString dateFormat_, timeFormat_;
};
// The local time packed as a DOS date (upper 16 bits) and time (lower 16 bits). Times before
// 1980 give the first DOS time and times after 2107 the last, so the order stays.
uint32_t FileTimeDosStamp(platform::FileTime time);
// True for the zero time, which a record holds when it has no file.
inline bool IsZeroTime(platform::FileTime time) {
    return time == 0;
}

// "C:\A" -> "C:\A\"; a path ending in "\" and the empty text stay as they are.
QString AddBackslash(const QString& path);
// "C:\A\" -> "C:\A"; otherwise unchanged.
QString RemoveBackslash(const QString& path);
// True for "C:\" and "C:".
bool IsDriveRoot(const QString& path);

// A path shortened to fit a width, as file managers shorten long paths: the drive root and the
// last name stay, the names between give way to "..." from the left, and a last name too long
// by itself is cut at its end with "...". measure gives the width of a text (in pixels, or in
// characters for plain text).
QString ShortenedPath(const QString& path, int width,
                      const std::function<int(const QString&)>& measure);
// True when the path begins with a drive letter (ASCII) and a colon, as program paths do.
bool IsProgramPath(const QString& path);
// "C:\A\B" -> "C:\A"; "C:\A" -> "C:\". The empty text when the path has no "\" or ":".
QString ParentFolderPath(const QString& path);

}  // namespace engine
