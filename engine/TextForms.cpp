#include "engine/TextForms.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace engine {

void UseSystemLocale() {
    const QLocale system = QLocale::system();
    QLocale::setDefault(system.language() == QLocale::C
                            ? QLocale(QLocale::English, QLocale::UnitedStates)
                            : system);
}

QString NumberText(double x, int decimals) {
    // The sizes come here as exact binary fractions (bytes / 1024^n), so scaling by 10 or 100
    // is exact and std::round decides a tie away from zero; the locale then writes a value
    // that already has no more decimals than it shows.
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(x * scale) / scale;
    if (rounded == 0) rounded = 0;  // no "-0"
    return QLocale().toString(rounded, 'f', decimals);
}

QString SizeText(int64_t bytes) {
    const double x = double(bytes);
    const double kb = x / 1024;
    const double mb = x / 1048576;
    if (mb >= 1024) return NumberText(mb / 1024, 2) + QLatin1String(" GB");
    if (kb >= 1024) return NumberText(kb / 1024, 1) + QLatin1String(" MB");
    if (x > 1024) return NumberText(kb, 0) + QLatin1String(" KB");
    return NumberText(x, 0) + QLatin1String(" bytes");
}

QString SmallSizeText(int64_t bytes) {
    const double x = double(bytes);
    const double kb = x / 1024;
    if (kb >= 1024) return NumberText(kb / 1024, 1) + QLatin1String(" MB");
    if (x > 1024) return NumberText(kb, 0) + QLatin1String(" KB");
    return NumberText(x, 0) + QLatin1String(" bytes");
}

QString CountText(int64_t count) {
    return QLocale().toString(qlonglong(count));
}

QString ExactBytesText(int64_t bytes) {
    return CountText(bytes) + (bytes == 1 ? QLatin1String(" byte") : QLatin1String(" bytes"));
}

namespace {

QDateTime LocalTimeOf(platform::FileTime time) {
    return QDateTime::fromMSecsSinceEpoch(platform::FileTimeToUnixMilliseconds(time),
                                          Qt::LocalTime);
}

QString TwoDigits(int n) {
    return QString::number(n).rightJustified(2, u'0');
}

}  // namespace

QString VisibleName(const QString& name, bool keepControls) {
    const auto escaped = [](uint byte) {
        return QStringLiteral("%%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    };
    const bool plain = std::none_of(name.begin(), name.end(), [&](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || u == 0x7F || u == u'%' || (u >= 0xDC80 && u <= 0xDCFF);
    });
    if (plain) return name;
    QString text;
    text.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool control = c < 0x20 || c == 0x7F;
        // A lone low surrogate stands for a byte that is not UTF-8 (platform/HostNames.h).
        const bool byte = c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !name[i - 1].isHighSurrogate());
        if (c == u'%')
            text += QLatin1String("%25");
        else if (byte)
            text += escaped(c - 0xDC00);
        else if (control && !keepControls)
            text += escaped(c);
        else
            text += name[i];
    }
    return text;
}

TDateTimeForm::TDateTimeForm() {
    // A two-digit year ("yy" alone) is written whole; the zone ("t" to "tttt") is left out.
    static const QRegularExpression kShortYear(QStringLiteral("(?<!y)yy(?!y)"));
    static const QRegularExpression kZone(QStringLiteral("\\s*\\bt{1,4}\\b\\s*"));
    dateFormat_ = locale_.dateFormat(QLocale::ShortFormat);
    dateFormat_.replace(kShortYear, QStringLiteral("yyyy"));
    timeFormat_ = locale_.timeFormat(QLocale::LongFormat);
    timeFormat_.replace(kZone, QStringLiteral(" "));
    timeFormat_ = timeFormat_.trimmed();
}

QString TDateTimeForm::Text(const QDate& date, const QTime& time) const {
    return locale_.toString(date, dateFormat_) + u' ' + locale_.toString(time, timeFormat_);
}

QString DateTimeText(const QDate& date, const QTime& time) {
    return TDateTimeForm().Text(date, time);
}

QString FileTimeText(platform::FileTime time) {
    const QDateTime local = LocalTimeOf(time);
    const QDate date = local.date();
    const QTime clock = local.time();
    const QLocale locale;
    QString text = locale.dayName(date.dayOfWeek(), QLocale::LongFormat) + QLatin1String(", ") +
                   locale.monthName(date.month(), QLocale::LongFormat) + u' ' +
                   QString::number(date.day()) + QLatin1String(", ") +
                   QString::number(date.year()).rightJustified(4, u'0');
    if (clock.msecsSinceStartOfDay() == 0) return text;
    const int hour12 = clock.hour() % 12 == 0 ? 12 : clock.hour() % 12;
    return text + u' ' + TwoDigits(hour12) + u':' + TwoDigits(clock.minute()) + u':' +
           TwoDigits(clock.second()) +
           (clock.hour() < 12 ? QLatin1String(" AM") : QLatin1String(" PM"));
}

uint32_t FileTimeDosStamp(platform::FileTime time) {
    if (time == 0) return 0;  // unknown (a folder without files, an import): shown empty
    const QDateTime local = LocalTimeOf(time);
    const QDate date = local.date();
    const QTime clock = local.time();
    if (date.year() < 1980) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
    if (date.year() > 2107)
        return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    const uint32_t dateWord =
        uint32_t(date.year() - 1980) * 512 + uint32_t(date.month()) * 32 + uint32_t(date.day());
    const uint32_t timeWord = uint32_t(clock.hour()) * 2048 + uint32_t(clock.minute()) * 32 +
                              uint32_t(clock.second()) / 2;
    return dateWord * 65536 + timeWord;
}

QString AddBackslash(const QString& path) {
    return path.isEmpty() || path.endsWith(u'\\') ? path : path + u'\\';
}

QString RemoveBackslash(const QString& path) {
    return path.endsWith(u'\\') ? path.chopped(1) : path;
}

QString ShortenedPath(const QString& path, int width,
                      const std::function<int(const QString&)>& measure) {
    if (measure(path) <= width) return path;
    const QString ellipsis = QStringLiteral("...");
    // "C:\" stays whole; a path without a drive keeps its first name instead.
    const qsizetype rootEnd = IsProgramPath(path) && path.size() > 2 && path[2] == u'\\' ? 3 : 0;
    const QString root = path.left(rootEnd);
    const QStringList names = path.mid(rootEnd).split(u'\\');
    for (qsizetype drop = 1; drop < names.size(); ++drop) {
        const QString candidate =
            root + ellipsis + u'\\' + QStringList(names.mid(drop)).join(u'\\');
        if (measure(candidate) <= width) return candidate;
    }
    // Only the last name is left, and it is too long: its end gives way too.
    const QString head = names.size() > 1 ? root + ellipsis + u'\\' : root;
    QString last = names.last();
    while (!last.isEmpty() && measure(head + last + ellipsis) > width) last.chop(1);
    return head + last + ellipsis;
}

bool IsProgramPath(const QString& path) {
    if (path.size() < 2 || path[1] != u':') return false;
    const char16_t c = path[0].unicode();
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsDriveRoot(const QString& path) {
    const QString withBackslash = AddBackslash(path);
    return withBackslash.size() == 3 && withBackslash[1] == u':';
}

QString ParentFolderPath(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u':'));
    const QString head = path.left(cut + 1);
    return IsDriveRoot(head) ? head : RemoveBackslash(head);
}

}  // namespace engine
