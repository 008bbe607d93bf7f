#include "views/FileRows.h"

#include <QDateTime>
#include <QHeaderView>

#include "engine/FolderTree.h"
#include "engine/TextForms.h"

namespace {

enum TRole { FolderPathRole = Qt::UserRole, ItemPathRole, IsFolderRole, SortRole };

// A row that sorts sizes and dates by their values, names and the rest by their texts.
class TFileRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant a = data(column, SortRole), b = other.data(column, SortRole);
        if (a.isValid() && b.isValid()) return a.toLongLong() < b.toLongLong();
        return QString::localeAwareCompare(text(column), other.text(column)) < 0;
    }
};

void SetNumber(QTreeWidgetItem& row, int column, const QString& text, int64_t value) {
    row.setText(column, text);
    row.setData(column, SortRole, qlonglong(value));
    row.setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace

TFileRows::TFileRows(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setHeaderLabels({"Name", "Size", "Size on Disk", "Last Change", "Type", "Folder"});
    const int widths[] = {220, 90, 130, 150, 70, 300};
    for (int c = 0; c < ColumnCount; ++c) setColumnWidth(c, widths[c]);
    setSortingEnabled(true);
    sortByColumn(-1, Qt::AscendingOrder);  // the order rows are added in, until a click
}

void TFileRows::AddFile(const engine::TFileHit& hit) {
    const engine::TFileStore& store = *engine::FileStoreOf(hit.Folder);
    const engine::TStoredFile& file = store.At(hit.Index);
    auto* row = new TFileRow;
    const QString folder = engine::NodePath(hit.Folder);
    row->setText(Name, engine::VisibleName(store.Name(file)));
    SetNumber(*row, Size, engine::SizeText(file.Length), file.Length);
    // A sparse or compressed file says so where its space on disk is shown.
    QString onDisk = engine::SizeText(file.OnDisk);
    if (file.IsSparse()) onDisk += QStringLiteral(" (sparse)");
    if (file.IsCompressed()) onDisk += QStringLiteral(" (compressed)");
    SetNumber(*row, OnDisk, onDisk, file.OnDisk);
    row->setText(LastChange, DateText(file.LastChange));
    row->setData(LastChange, SortRole, qlonglong(file.LastChange));
    const QString extension = store.Extension(file.Type);
    row->setText(Type, extension.isEmpty() ? engine::CategoryName(store.Category(file.Type))
                                           : extension.toUpper());
    row->setText(Folder, engine::VisibleName(folder));
    row->setData(Name, FolderPathRole, folder);
    row->setData(Name, ItemPathRole, engine::ProgramPathOfFile(hit));
    addTopLevelItem(row);
}

void TFileRows::AddFolder(const engine::TFolderNode* folder) {
    auto* row = new TFileRow;
    const engine::TFolderSize* r = folder->Record();
    const QString path = engine::NodePath(folder);
    row->setText(Name, engine::VisibleName(folder->DisplayName()));
    SetNumber(*row, Size, r ? engine::SizeText(r->TreeSize) : QString(), r ? r->TreeSize : 0);
    SetNumber(*row, OnDisk, r ? engine::SizeText(r->TreeOnDisk) : QString(), r ? r->TreeOnDisk : 0);
    const uint32_t changed = r ? engine::StoredSeconds(r->LastWriteTime) : 0;
    row->setText(LastChange, DateText(changed));
    row->setData(LastChange, SortRole, qlonglong(changed));
    row->setText(Type, QStringLiteral("Folder"));
    row->setText(Folder, engine::VisibleName(folder->Parent() ? engine::NodePath(folder->Parent())
                                                              : QString()));
    row->setData(Name, FolderPathRole, path);
    row->setData(Name, ItemPathRole, path);
    row->setData(Name, IsFolderRole, true);
    addTopLevelItem(row);
}

QString TFileRows::DateText(uint32_t seconds) const {
    if (seconds == 0) return {};
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime);
    return dates_.Text(local.date(), local.time());
}

QString TFileRows::CurrentFolderPath() const {
    return currentItem() ? currentItem()->data(Name, FolderPathRole).toString() : QString();
}

QString TFileRows::CurrentItemPath() const {
    return currentItem() ? currentItem()->data(Name, ItemPathRole).toString() : QString();
}

bool TFileRows::CurrentIsFolder() const {
    return currentItem() && currentItem()->data(Name, IsFolderRole).toBool();
}

QStringList TFileRows::RowTexts(int row) const {
    QStringList texts;
    if (const QTreeWidgetItem* item = topLevelItem(row))
        for (int c = 0; c < ColumnCount; ++c) texts << item->text(c);
    return texts;
}
