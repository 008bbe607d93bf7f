#include "app/ReportSwitches.h"

std::optional<TReportForm> ReportFormOf(const QString& argument) {
    const QString keyword = argument.mid(2).toUpper();
    if (keyword == QLatin1String("INF")) return TReportForm::Info;
    if (keyword == QLatin1String("CSV")) return TReportForm::Csv;
    if (keyword == QLatin1String("TAB")) return TReportForm::Tab;
    if (keyword == QLatin1String("TXT")) return TReportForm::Txt;
    return std::nullopt;
}

bool ApplySwitches(const QStringList& arguments, TSubfoldersPage::TFilter& filter, bool& wasted) {
    bool quit = false;
    for (const QString& argument : arguments.mid(3)) {
        const QString s = argument.toUpper();
        if (!s.startsWith(u'/') || s.size() < 2) continue;
        switch (s[1].unicode()) {
            case u'A':
                filter.DisplayType = 2;
                break;
            case u'T':
                filter.DisplayType = 0;
                filter.TopText = argument.mid(5);
                break;
            case u'H': {
                filter.DisplayType = 1;
                const QChar unit = s.size() > 4 ? s[4] : QChar();
                if (unit == u'B') filter.Unit = 0;
                if (unit == u'K') filter.Unit = 1;
                if (unit == u'M') filter.Unit = 2;
                filter.LargerThanText = argument.mid(6);
                break;
            }
            case u'S': {
                const QChar column = s.size() > 4 ? s[4] : QChar();
                if (column < u'1' || column > u'8') break;
                const int code = column.unicode() - u'0';
                filter.SortCode = s.size() > 2 && s[2] == u'D' ? -code : code;
                break;
            }
            case u'W':
                if (s.size() > 3 && s[3] == u'T') wasted = true;
                if (s.size() > 3 && s[3] == u'F') wasted = false;
                break;
            case u'Q':
                quit = true;
                break;
            default:
                break;
        }
    }
    return quit;
}
