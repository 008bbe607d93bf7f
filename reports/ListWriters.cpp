#include "reports/ListWriters.h"

#include <QCoreApplication>
#include <QTextStream>
#include <algorithm>

#include "desktop/MessageBox.h"
#include "engine/TextForms.h"
#include "platform/HostFiles.h"

namespace {

// Writes lines with CR LF ends, replacing the file whole (appended to what it held); false when
// it could not be written.
bool WriteLines(const QString& fileName, const QStringList& lines, bool append, QString& why) {
    QByteArray bytes;
    // Appending never makes a file: the report it belongs to must be there already.
    if (append && !platform::ReadHostFile(fileName, bytes, &why)) return false;
    for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";
    return platform::ReplaceHostFile(fileName, bytes, &why);
}

bool Report(const QString& fileName, const QStringList& lines, bool append = false) {
    QString why;
    if (WriteLines(fileName, lines, append, why)) return true;
    ShowReportFailure(fileName, why);
    return false;
}

QString CsvField(const QString& field) {
    const bool quoted = std::any_of(field.begin(), field.end(), [](QChar c) {
        return (c.unicode() >= 1 && c.unicode() <= 32) || c == u'"' || c == u',';
    });
    if (!quoted) return field;
    QString text = field;
    text.replace(u'"', QLatin1String("\"\""));
    return u'"' + text + u'"';
}

QString CsvLine(const QStringList& fields) {
    // A line of one empty field would be an empty line: it is written as "".
    if (fields.size() == 1 && fields.first().isEmpty()) return QStringLiteral("\"\"");
    QStringList quoted;
    for (const QString& field : fields) quoted << CsvField(field);
    return quoted.join(u',');
}

// The rows with their names (the first column) written visibly (engine::VisibleName): a name
// breaks no line or field, and names whose bytes differ never read alike.
std::vector<QStringList> VisibleRows(const TListTable& list, bool keepControls) {
    std::vector<QStringList> rows = list.Rows;
    for (QStringList& row : rows)
        if (!row.isEmpty()) row[0] = engine::VisibleName(row[0], keepControls);
    return rows;
}

}  // namespace

void ShowReportFailure(const QString& fileName, const QString& why) {
    desktop::ShowMessage(
        nullptr, {QCoreApplication::applicationName(), QStringLiteral("Generating report failed"),
                  desktop::MessageIcon::Error, desktop::Ok});
    // The box keeps its one line; a script or a user at a terminal learns the cause here.
    QTextStream(stderr) << fileName << ": " << why << '\n';
}

bool ListViewToCSV(const TListTable& list, const QString& fileName) {
    QStringList lines{CsvLine(list.Captions)};
    // Quoted, a control character stays as it is.
    for (const QStringList& row : VisibleRows(list, true)) lines << CsvLine(row);
    return Report(fileName, lines);
}

bool ListViewToTabText(const TListTable& list, const QString& fileName) {
    auto line = [](const QStringList& fields) {
        QString text;
        for (const QString& field : fields) text += field + u'\t';
        return text;
    };
    QStringList lines{line(list.Captions)};
    for (const QStringList& row : VisibleRows(list, false)) lines << line(row);
    return Report(fileName, lines);
}

QStringList FormattedLines(const TListTable& list) {
    const qsizetype columns = list.Captions.size();
    const std::vector<QStringList> rows = VisibleRows(list, false);
    std::vector<qsizetype> widths(size_t(columns), 0);
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c < std::min(columns, row.size()); ++c)
            widths[size_t(c)] = std::max(widths[size_t(c)], row[c].size());
    }
    for (qsizetype c = 0; c < columns; ++c)
        widths[size_t(c)] = std::max(widths[size_t(c)], list.Captions[c].size()) + 4;
    auto line = [&](const QStringList& fields) {
        QString text;
        for (qsizetype c = 0; c < columns; ++c) {
            const QString field = fields.value(c);
            const int width = int(widths[size_t(c)]);
            text += c == 0 ? field.leftJustified(width) : field.rightJustified(width);
        }
        return text;
    };
    QStringList lines{line(list.Captions)};
    for (const QStringList& row : rows) lines << line(row);
    return lines;
}

bool ListViewToFormattedText(const TListTable& list, const QString& fileName, bool append) {
    return Report(fileName, FormattedLines(list), append);
}
