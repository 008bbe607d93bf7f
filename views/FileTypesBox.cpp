#include "views/FileTypesBox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "desktop/Guarded.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"

namespace {

enum TColumn { Type, Files, Size, OnDisk, Share };
enum TRole { SortRole = Qt::UserRole, CategoryRole, ExtensionRole };

// Sorts the counts and sizes by value.
class TTypeRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == Type) return QString::localeAwareCompare(text(0), other.text(0)) < 0;
        return data(column, SortRole).toLongLong() < other.data(column, SortRole).toLongLong();
    }
};

TTypeRow* RowOf(const QString& name, const engine::TTypeTotals& t, int64_t whole) {
    auto* row = new TTypeRow;
    row->setText(Type, name);
    const double share = whole == 0 ? 0.0 : 100.0 * double(t.Length) / double(whole);
    const std::pair<QString, int64_t> cells[] = {
        {engine::CountText(t.Files), t.Files},
        {engine::SizeText(t.Length), t.Length},
        {engine::SizeText(t.OnDisk), t.OnDisk},
        {QLocale().toString(share, 'f', 2) + QStringLiteral(" %"), t.Length},
    };
    for (int c = Files; c <= Share; ++c) {
        row->setText(c, cells[c - Files].first);
        row->setData(c, SortRole, qlonglong(cells[c - Files].second));
        row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    row->setData(Type, CategoryRole, int(t.Category));
    return row;
}

}  // namespace

TFileTypesBox::TFileTypesBox(QWidget* owner)
    : TFileWindow(QStringLiteral("File Types"), QStringLiteral("FileTypesBox"), owner) {
    TypeList = new QTreeWidget;
    TypeList->setObjectName("TypeList");
    TypeList->setHeaderLabels({"Type", "Files", "Size", "Size on Disk", "% of Size"});
    TypeList->setColumnWidth(Type, 220);
    TypeList->setUniformRowHeights(true);
    TypeList->setAllColumnsShowFocus(true);
    TypeList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TypeList->setSortingEnabled(true);
    TypeList->installEventFilter(this);
    Layout->addWidget(TypeList, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(StatusLine, 1);
    btnSaveCsv = new QPushButton(QStringLiteral("&Save As CSV..."));
    btnSaveCsv->setObjectName("btnSaveCsv");
    btnSaveCsv->setAutoDefault(false);
    bottom->addWidget(btnSaveCsv);
    Layout->addLayout(bottom);
    desktop::Connect(TypeList, &QTreeWidget::itemDoubleClicked, this,
                     &TFileTypesBox::OpenCurrentRow);
    desktop::Connect(btnSaveCsv, &QPushButton::clicked, this, [this] {
        if (saveCsv_ && root_) saveCsv_(types_);
    });
}

void TFileTypesBox::Fill(const engine::TFolderNode* root) {
    Begin();
    Forget();
    root_ = root;
    if (!engine::FileStoreOf(root)) {
        StatusLine->setText(NotKeptText());
        btnSaveCsv->setEnabled(false);
        return;
    }
    types_ = engine::FileTypesBelow(root);
    std::array<QTreeWidgetItem*, engine::kFileCategoryCount> categories{};
    for (const engine::TTypeTotals& c : types_.Categories) {
        if (c.Files == 0) continue;
        QTreeWidgetItem* row = RowOf(engine::CategoryName(c.Category), c, types_.All.Length);
        categories[size_t(c.Category)] = row;
        TypeList->addTopLevelItem(row);
    }
    for (const engine::TTypeTotals& e : types_.Extensions) {
        TTypeRow* row =
            RowOf(e.Extension.isEmpty() ? QStringLiteral("(no extension)") : u'.' + e.Extension, e,
                  types_.All.Length);
        row->setData(Type, ExtensionRole, e.Extension);
        categories[size_t(e.Category)]->addChild(row);
    }
    TypeList->sortByColumn(Size, Qt::DescendingOrder);
    if (TypeList->topLevelItemCount() > 0) TypeList->setCurrentItem(TypeList->topLevelItem(0));
    btnSaveCsv->setEnabled(true);
    StatusLine->setText(
        QStringLiteral("%1 files below %2: %3, %4 on the disk")
            .arg(engine::CountText(types_.All.Files), engine::VisibleName(engine::NodePath(root)),
                 engine::SizeText(types_.All.Length), engine::SizeText(types_.All.OnDisk)));
}

void TFileTypesBox::OpenCurrentRow() {
    const QTreeWidgetItem* row = TypeList->currentItem();
    if (!row || !openFiles_ || !root_) return;
    engine::TFileFilter filter;
    if (row->parent()) {
        filter.ByExtension = true;
        filter.Extension = row->data(Type, ExtensionRole).toString();
    } else {
        filter.Category = engine::TFileCategory(row->data(Type, CategoryRole).toInt());
    }
    const QString chosen = openFiles_(filter);
    Choose(chosen);
}

void TFileTypesBox::Forget() {
    root_ = nullptr;
    types_ = {};
    TypeList->clear();
}

bool TFileTypesBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TypeList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OpenCurrentRow();
            return true;
        }
    }
    return TFileWindow::eventFilter(watched, event);
}
