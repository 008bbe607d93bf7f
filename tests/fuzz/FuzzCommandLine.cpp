// The command line over any arguments (the input's pieces between NUL bytes): what it asks for,
// the ncdu options taken off its front, and a report request's form and switches. Options are
// taken only from the front and never more than there are; whatever the switches say, the
// filter they give stays one the subfolder page can show.
#include <QStringList>

#include "app/CommandLine.h"
#include "app/NcduTransfer.h"
#include "app/ReportSwitches.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;
    const QByteArray bytes = fuzz_support::BytesOf(data, size);
    QStringList arguments;
    if (!bytes.isEmpty())
        for (const QByteArray& piece : bytes.split('\0'))
            arguments << QString::fromLocal8Bit(piece);

    const TCommandLineAction action = CommandLineAction(arguments);
    const bool asksForHelp = arguments.contains(QStringLiteral("--help")) ||
                             arguments.contains(QStringLiteral("-h")) ||
                             arguments.contains(QStringLiteral("--version"));
    FUZZ_CHECK((action != TCommandLineAction::Run) == asksForHelp, arguments.join(u' '));

    QStringList rest = arguments;
    const TNcduOptions ncdu = TakeNcduOptions(rest);
    FUZZ_CHECK(
        rest.size() <= arguments.size() && rest == arguments.mid(arguments.size() - rest.size()),
        arguments.join(u' '));
    if (ncdu.Error.isEmpty())
        FUZZ_CHECK(ncdu.ClusterSize == 0 ||
                       (ncdu.ClusterSize >= 512 && ncdu.ClusterSize <= 64 * 1024 * 1024),
                   QString::number(ncdu.ClusterSize));

    if (!IsReportRequest(rest)) return 0;
    FUZZ_CHECK(rest.first().left(2).toUpper() == QLatin1String("/R"), rest.first());
    const std::optional<TReportForm> form = ReportFormOf(rest.first());
    if (form)
        FUZZ_CHECK(QStringList({QStringLiteral("INF"), QStringLiteral("CSV"), QStringLiteral("TAB"),
                                QStringLiteral("TXT")})
                       .contains(rest.first().mid(2).toUpper()),
                   rest.first());
    TSubfoldersPage::TFilter filter;
    bool wasted = false;
    const bool quit = ApplySwitches(rest, filter, wasted);
    FUZZ_CHECK(filter.DisplayType >= 0 && filter.DisplayType <= 2,
               QString::number(filter.DisplayType));
    FUZZ_CHECK(filter.Unit >= 0 && filter.Unit <= 2, QString::number(filter.Unit));
    FUZZ_CHECK(filter.SortCode != 0 && filter.SortCode >= -8 && filter.SortCode <= 8,
               QString::number(filter.SortCode));
    FUZZ_CHECK(!quit || rest.size() > 3, rest.join(u' '));
    return 0;
}
