#include "reports/FileLists.h"

#include <QDateTime>
#include <algorithm>

#include "engine/FileStore.h"

namespace {

// A line of fields, each quoted when it holds a separator, a quote or a line break (its quotes
// doubled).
void AppendLine(QByteArray& text, std::initializer_list<QByteArray> fields) {
    bool first = true;
    for (const QByteArray& field : fields) {
        if (!first) text += ',';
        first = false;
        if (!field.contains(',') && !field.contains('"') && !field.contains('\n') &&
            !field.contains('\r')) {
            text += field;
            continue;
        }
        QByteArray quoted = field;
        quoted.replace('"', "\"\"");
        text += '"' + quoted + '"';
    }
    text += "\r\n";
}

QByteArray DateOf(uint32_t seconds) {
    if (seconds == 0) return {};
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        .toLatin1();
}

QByteArray Share(int64_t part, int64_t whole) {
    return QByteArray::number(whole == 0 ? 0.0 : 100.0 * double(part) / double(whole), 'f', 2);
}

void AppendTotals(QByteArray& text, const char* kind, const QString& name,
                  const engine::TTypeTotals& t, int64_t whole) {
    AppendLine(
        text, {QByteArray(kind), name.toUtf8(), QByteArray::number(t.Files),
               QByteArray::number(t.Length), QByteArray::number(t.OnDisk), Share(t.Length, whole)});
}

}  // namespace

QByteArray LargestFilesCsv(const std::vector<engine::TFileHit>& hits) {
    QByteArray text;
    AppendLine(text, {"Path", "Size", "Size on Disk", "Last Change", "Type", "Category", "Marks"});
    for (const engine::TFileHit& hit : hits) {
        const engine::TFileStore& store = *engine::FileStoreOf(hit.Folder);
        const engine::TStoredFile& file = store.At(hit.Index);
        QByteArray marks;
        if (file.IsSparse()) marks += "sparse";
        if (file.IsCompressed()) marks += marks.isEmpty() ? "compressed" : " compressed";
        AppendLine(text, {engine::HostPathOfFile(hit), QByteArray::number(file.Length),
                          QByteArray::number(file.OnDisk), DateOf(file.LastChange),
                          store.Extension(file.Type).toUtf8(),
                          engine::CategoryName(store.Category(file.Type)).toUtf8(), marks});
    }
    return text;
}

QByteArray FileTypesCsv(const engine::TFileTypes& types) {
    QByteArray text;
    AppendLine(text, {"Kind", "Name", "Files", "Size", "Size on Disk", "% of Size"});
    std::vector<engine::TTypeTotals> categories(types.Categories.begin(), types.Categories.end());
    std::stable_sort(categories.begin(), categories.end(),
                     [](const auto& a, const auto& b) { return a.Length > b.Length; });
    for (const engine::TTypeTotals& c : categories)
        if (c.Files > 0)
            AppendTotals(text, "Category", engine::CategoryName(c.Category), c, types.All.Length);
    for (const engine::TTypeTotals& e : types.Extensions)
        AppendTotals(text, "Extension",
                     e.Extension.isEmpty() ? QStringLiteral("(none)") : e.Extension, e,
                     types.All.Length);
    return text;
}
