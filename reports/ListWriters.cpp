#include "reports/ListWriters.h"

#include <QCoreApplication>
#include <QTextStream>
#include <algorithm>
#include <numeric>

#include "desktop/MessageBox.h"
#include "engine/TextForms.h"
#include "platform/HostFiles.h"

namespace {

// Replaces the file whole with the bytes (appended to what it held); false when it could not
// be written.
bool WriteBytes(const QString& fileName, const QByteArray& text, bool append, QString& why) {
    QByteArray bytes;
    // Appending never makes a file: the report it belongs to must be there already.
    if (append && !platform::ReadHostFile(fileName, bytes, &why)) return false;
    bytes += text;
    return platform::ReplaceHostFile(fileName, bytes, &why);
}

bool Report(const QString& fileName, const QString& text, bool append = false) {
    QString why;
    if (WriteBytes(fileName, text.toUtf8(), append, why)) return true;
    ShowReportFailure(fileName, why);
    return false;
}

void AppendCsvField(QString& text, const QString& field) {
    const bool quoted = std::any_of(field.begin(), field.end(), [](QChar c) {
        return (c.unicode() >= 1 && c.unicode() <= 32) || c == u'"' || c == u',';
    });
    if (!quoted) {
        text += field;
        return;
    }
    text += u'"';
    for (QChar c : field) {
        if (c == u'"') text += u'"';
        text += c;
    }
    text += u'"';
}

void AppendCsvLine(QString& text, const QStringList& fields) {
    // A line of one empty field would be an empty line: it is written as "".
    if (fields.size() == 1 && fields.first().isEmpty()) {
        text += QLatin1String("\"\"\r\n");
        return;
    }
    for (qsizetype c = 0; c < fields.size(); ++c) {
        if (c > 0) text += u',';
        AppendCsvField(text, fields[c]);
    }
    text += QLatin1String("\r\n");
}

// A row's field as written: the name (the first column) visibly (engine::VisibleName), so that a
// name breaks no line or field and names whose bytes differ never read alike.
QString FieldText(const QStringList& row, qsizetype column, bool keepControls) {
    const QString field = row.value(column);
    return column == 0 ? engine::VisibleName(field, keepControls) : field;
}

// Appends a row written by `field` for each of its columns.
template <typename Field>
void AppendRows(QString& text, const TListTable& list, Field field) {
    text.reserve(text.size() + qsizetype(list.Rows.size()) * 100);
    for (const QStringList& row : list.Rows) field(row);
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
    QString text;
    AppendCsvLine(text, list.Captions);
    AppendRows(text, list, [&](const QStringList& row) {
        // Quoted, a control character stays as it is.
        QStringList fields = row;
        if (!fields.isEmpty()) fields[0] = FieldText(row, 0, true);
        AppendCsvLine(text, fields);
    });
    return Report(fileName, text);
}

bool ListViewToTabText(const TListTable& list, const QString& fileName) {
    QString text;
    for (const QString& caption : list.Captions) text += caption + u'\t';
    text += QLatin1String("\r\n");
    AppendRows(text, list, [&](const QStringList& row) {
        for (qsizetype c = 0; c < row.size(); ++c) text += FieldText(row, c, false) + u'\t';
        text += QLatin1String("\r\n");
    });
    return Report(fileName, text);
}

QString FormattedText(const TListTable& list) {
    const qsizetype columns = list.Captions.size();
    std::vector<qsizetype> widths(size_t(columns), 0);
    std::vector<QString> names;  // the first column as written
    names.reserve(list.Rows.size());
    for (const QStringList& row : list.Rows) {
        names.push_back(FieldText(row, 0, false));
        for (qsizetype c = 0; c < std::min(columns, row.size()); ++c)
            widths[size_t(c)] =
                std::max(widths[size_t(c)], c == 0 ? names.back().size() : row[c].size());
    }
    for (qsizetype c = 0; c < columns; ++c)
        widths[size_t(c)] = std::max(widths[size_t(c)], list.Captions[c].size()) + 4;
    // Every line is as long as the columns are wide: the text is made whole and filled in.
    const qsizetype lineLength = std::accumulate(widths.begin(), widths.end(), qsizetype(2));
    QString text(lineLength * (qsizetype(list.Rows.size()) + 1), Qt::Uninitialized);
    QChar* out = text.data();
    const auto put = [&out](const QString& field) {
        out = std::copy(field.cbegin(), field.cend(), out);
    };
    const auto pad = [&out](qsizetype count) { out = std::fill_n(out, count, QChar(u' ')); };
    const auto line = [&](const QStringList& fields, const QString& name) {
        for (qsizetype c = 0; c < columns; ++c) {
            const QString& field = c == 0 ? name : c < fields.size() ? fields[c] : QString();
            const qsizetype blanks = std::max<qsizetype>(widths[size_t(c)] - field.size(), 0);
            if (c == 0) put(field);
            pad(blanks);
            if (c > 0) put(field);
        }
        *out++ = u'\r';
        *out++ = u'\n';
    };
    line(list.Captions, list.Captions.value(0));
    for (size_t i = 0; i < list.Rows.size(); ++i) line(list.Rows[i], names[i]);
    text.truncate(out - text.constData());
    return text;
}

bool ListViewToFormattedText(const TListTable& list, const QString& fileName, bool append) {
    return Report(fileName, FormattedText(list), append);
}
