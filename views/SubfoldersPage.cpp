#include "views/SubfoldersPage.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>
#include <cmath>

#include "config/AppConfiguration.h"
#include "desktop/Guarded.h"
#include "desktop/Shell.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"
#include "views/PageParts.h"

namespace {

const char* const kColumns[] = {"Name",        "Size",    "Allocated",   "Wasted",
                                "% of Parent", "Objects", "Last Access", "Last Change"};
const int kColumnWidths[] = {150, 80, 80, 80, 70, 70, 80, 80};

// Bytes as whole KB, halves to even.
QString KbText(int64_t bytes) {
    return engine::CountText(int64_t(std::nearbyint(double(bytes) / 1024))) + QLatin1String(" KB");
}

// A packed DOS date-time as the short date and the long time; empty for 0 or a value that is no
// valid date.
QString StampText(uint32_t stamp) {
    if (stamp == 0) return {};
    const uint32_t date = stamp >> 16, time = stamp & 0xFFFF;
    const QDate d(int(date >> 9) + 1980, int((date >> 5) & 15), int(date & 31));
    const QTime t(int(time >> 11), int((time >> 5) & 63), int(time & 31) * 2);
    if (!d.isValid() || !t.isValid()) return {};
    return engine::DateTimeText(d, t);
}

}  // namespace

// A row that sorts as the page's sort code says. It keeps its sort keys beside the texts the
// list shows: a sort compares rows many times, and reading the texts back is slow.
class TFolderRow : public QTreeWidgetItem {
public:
    TFolderRow(const TSubfoldersPage& page, const QStringList& texts, uint32_t access,
               uint32_t change)
        : QTreeWidgetItem(texts), texts_(texts), stamps_{access, change}, page_(page) {}
    bool operator<(const QTreeWidgetItem& other) const override {
        return page_.TheFilesListCompare(*this, other) < 0;
    }
    const QString& Text(int column) const { return texts_[column]; }
    uint32_t Stamp(int column) const { return stamps_[column - 6]; }

private:
    QStringList texts_;
    std::array<uint32_t, 2> stamps_;  // the packed last access and last change
    const TSubfoldersPage& page_;
};

namespace {}  // namespace

TSubfoldersPage::TSubfoldersPage(QWidget* parent) : TViewPage(parent) {
    Q_INIT_RESOURCE(pie);
    auto* layout = new QVBoxLayout(this);

    panWebFolderListPath_ = new QWidget;
    auto* header = new QHBoxLayout(panWebFolderListPath_);
    header->setContentsMargins(0, 0, 0, 0);
    auto* pathBlock = new QVBoxLayout;
    pathBlock->addWidget(new QLabel("Subfolders of"));
    txtWebFolderListPath_ = new TPathLabel;
    txtWebFolderListPath_->setObjectName("txtWebFolderListPath");
    pathBlock->addWidget(txtWebFolderListPath_);
    header->addLayout(pathBlock, 1);

    cbFoldersDisplayType_ = new QComboBox;
    cbFoldersDisplayType_->setObjectName("cbFoldersDisplayType");
    cbFoldersDisplayType_->addItems({"Top Large Folders", "Folders Larger Than", "All Folders"});
    txtFoldersTop_ = new QLabel("Top");
    txtFoldersTop_->setObjectName("txtFoldersTop");
    cbFoldersTop_ = new QComboBox;
    cbFoldersTop_->setObjectName("cbFoldersTop");
    cbFoldersTop_->setEditable(true);
    cbFoldersTop_->setInsertPolicy(QComboBox::NoInsert);
    cbFoldersTop_->addItems({"5", "10", "15", "20", "25", "50", "75", "100", "250", "500", "1000"});
    udFoldersLargerThan_ = new QSpinBox;
    udFoldersLargerThan_->setObjectName("udFoldersLargerThan");
    udFoldersLargerThan_->setRange(0, 32767);  // digits only: the spin box takes no other key
    udFoldersLargerThan_->setWrapping(false);
    ediFoldersLargerThan_ = udFoldersLargerThan_->findChild<QLineEdit*>();
    cbFoldersLargerThanBytes_ = new QComboBox;
    cbFoldersLargerThanBytes_->setObjectName("cbFoldersLargerThanBytes");
    cbFoldersLargerThanBytes_->addItems({"bytes", "KB", "MB"});
    header->addWidget(cbFoldersDisplayType_);
    header->addWidget(txtFoldersTop_);
    header->addWidget(cbFoldersTop_);
    header->addWidget(udFoldersLargerThan_);
    header->addWidget(cbFoldersLargerThanBytes_);

    panWebListLevelUp_ = new QWidget;
    panWebListLevelUp_->setObjectName("panWebListLevelUp");
    panWebListLevelUp_->setCursor(Qt::PointingHandCursor);
    auto* up = new QHBoxLayout(panWebListLevelUp_);
    up->setContentsMargins(8, 0, 0, 0);
    auto* arrow = new QLabel;
    arrow->setPixmap(QPixmap(QStringLiteral(":/pages/levelup.png")));
    up->addWidget(arrow);
    up->addWidget(new QLabel("Up One Level"));
    // The whole panel takes the clicks, as one transparent shape over it would.
    panWebListLevelUp_->installEventFilter(this);
    header->addWidget(panWebListLevelUp_);
    layout->addWidget(panWebFolderListPath_);

    TheFilesList_ = new QTreeWidget;
    TheFilesList_->setObjectName("TheFilesList");
    TheFilesList_->setRootIsDecorated(false);
    TheFilesList_->setUniformRowHeights(true);
    TheFilesList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    TheFilesList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TheFilesList_->setAllColumnsShowFocus(true);
    TheFilesList_->setContextMenuPolicy(Qt::CustomContextMenu);
    TheFilesList_->setColumnCount(8);
    TheFilesList_->header()->setSectionsClickable(true);
    TheFilesList_->header()->setSortIndicatorShown(false);
    for (int c = 0; c < 8; ++c) {
        TheFilesList_->setColumnWidth(c, kColumnWidths[c]);
        if (c > 0)
            TheFilesList_->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    // A style sheet for the items takes over their drawing: the selected row must say so itself.
    TheFilesList_->setStyleSheet(
        "QTreeView::item { border-right: 1px solid palette(mid); border-bottom: 1px solid "
        "palette(mid); }"
        "QTreeView::item:selected { background: palette(highlight); color: "
        "palette(highlighted-text); }");
    layout->addWidget(TheFilesList_, 1);
    MarkSortColumn();
    ShowFilterControls();

    desktop::Connect(cbFoldersDisplayType_, &QComboBox::currentIndexChanged, this,
                     &TSubfoldersPage::cbFoldersDisplayTypeChange);
    desktop::Connect(cbFoldersTop_, &QComboBox::currentTextChanged, this,
                     &TSubfoldersPage::ediFoldersLargerThanChange);
    desktop::Connect(udFoldersLargerThan_, &QSpinBox::valueChanged, this,
                     &TSubfoldersPage::ediFoldersLargerThanChange);
    desktop::Connect(cbFoldersLargerThanBytes_, &QComboBox::currentIndexChanged, this,
                     &TSubfoldersPage::ediFoldersLargerThanChange);
    desktop::Connect(TheFilesList_->header(), &QHeaderView::sectionClicked, this,
                     &TSubfoldersPage::TheFilesListColumnClick);
    desktop::Connect(TheFilesList_, &QTreeWidget::itemDoubleClicked, this,
                     &TSubfoldersPage::TheFilesListDblClick);
    desktop::Connect(TheFilesList_, &QWidget::customContextMenuRequested, this,
                     &TSubfoldersPage::TheFilesListMouseDown);
}

// --- presenting ---

void TSubfoldersPage::Present(const TPresentation& presentation) {
    presentation_ = presentation;
    if (shownFor_ == presentation.Node || !presentation.Node) return;
    Rebuild();
}

void TSubfoldersPage::Forget() {
    shownFor_ = nullptr;
}

void TSubfoldersPage::NodeLeaving(const engine::TFolderNode* gone) {
    if (engine::IsInSubtree(shownFor_, gone)) shownFor_ = nullptr;
    if (engine::IsInSubtree(presentation_.Node, gone)) presentation_ = {};
    // The rows name folders only by text; they stay until the next build.
}

void TSubfoldersPage::RefreshList() {
    Forget();
    if (presentation_.Node && !loading_) Present(presentation_);
}

void TSubfoldersPage::Rebuild() {
    const engine::TFolderNode* p = presentation_.Node;
    shownFor_ = p;
    txtWebFolderListPath_->SetPath(presentation_.Path);
    panWebListLevelUp_->setVisible(p->Parent() != nullptr);

    const int type = cbFoldersDisplayType_->currentIndex();
    static const int64_t kUnits[] = {1, 1024, 1048576};
    const int64_t threshold = type == 1 ? udFoldersLargerThan_->value() *
                                              kUnits[cbFoldersLargerThanBytes_->currentIndex()]
                                        : 0;
    const bool withWasted = presentation_.IncludeWasted;
    const engine::TFolderSize* parent = p->Record();
    const int64_t parentTotal =
        parent ? parent->TreeSize + (withWasted ? engine::ShownTreeWasted(*parent) : 0) : 0;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([this] {
        TheFilesList_->setUpdatesEnabled(true);
        QApplication::restoreOverrideCursor();
    });
    TheFilesList_->clear();
    TheFilesList_->setUpdatesEnabled(false);
    desktop::ShellIconList& icons = desktop::ShellIconList::Instance();
    const QIcon folderIcon = icons.Icon(icons.FolderIndex(false));
    const QLocale locale;
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < p->ChildCount(); ++i) {
        const engine::TFolderNode* c = p->Child(i);
        const engine::TFolderSize* r = c->Record();
        const int64_t size = r ? r->TreeSize : 0;
        const int64_t wasted = r ? engine::ShownTreeWasted(*r) : 0;
        const int64_t value = size + (withWasted ? wasted : 0);
        if (value < threshold) continue;
        const double share = parentTotal == 0 ? 0.0 : 100.0 * double(value) / double(parentTotal);
        const uint32_t access = r ? engine::FileTimeDosStamp(r->LastAccessTime) : 0;
        const uint32_t change = r ? engine::FileTimeDosStamp(r->LastWriteTime) : 0;
        auto* row = new TFolderRow(
            *this,
            {c->DisplayName(), KbText(size), KbText(size + wasted), KbText(wasted),
             locale.toString(share, 'f', 2) + QLatin1String(" %"),
             engine::CountText(r ? int64_t(r->TreeFileCount) + r->TreeFolderCount : 0),
             StampText(access), StampText(change)},
            access, change);
        row->setIcon(0, folderIcon);
        for (int column = 1; column < 8; ++column)
            row->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        rows << row;
    }
    TheFilesList_->addTopLevelItems(rows);
    if (type == 0 || type == 1) sortCode_ = withWasted ? -3 : -2;
    MarkSortColumn();
    TheFilesList_->sortItems(0, Qt::AscendingOrder);  // the order is all in the sort code
    if (type == 0) {
        bool isNumber = false;
        int top = cbFoldersTop_->currentText().toInt(&isNumber);
        if (!isNumber) top = FoldersDisplayTopX.fallback;
        const QSignalBlocker quiet(cbFoldersTop_);
        cbFoldersTop_->setCurrentText(QString::number(top));
        while (TheFilesList_->topLevelItemCount() > std::max(top, 0))
            delete TheFilesList_->takeTopLevelItem(TheFilesList_->topLevelItemCount() - 1);
    }
}

TListTable TSubfoldersPage::TableFor(const TPresentation& presentation, const TFilter& filter) {
    TSubfoldersPage page;
    page.SetFilter(filter);
    page.Present(presentation);
    return page.Table();
}

TListTable TSubfoldersPage::Table() const {
    TListTable table;
    for (int c = 0; c < 8; ++c) table.Captions << TheFilesList_->headerItem()->text(c);
    for (int i = 0; i < TheFilesList_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = TheFilesList_->topLevelItem(i);
        QStringList texts;
        for (int c = 0; c < 8; ++c) texts << row->text(c);
        table.Rows.push_back(texts);
    }
    return table;
}

// --- sorting ---

void TSubfoldersPage::MarkSortColumn() {
    for (int c = 0; c < 8; ++c) {
        const bool marked = std::abs(sortCode_) == c + 1;
        TheFilesList_->headerItem()->setText(
            c, (marked ? QStringLiteral("-> ") : QString()) + kColumns[c]);
    }
}

void TSubfoldersPage::TheFilesListColumnClick(int column) {
    sortCode_ = sortCode_ == column + 1 ? -(column + 1) : column + 1;
    MarkSortColumn();
    TheFilesList_->sortItems(0, Qt::AscendingOrder);
}

int TSubfoldersPage::TheFilesListCompare(const QTreeWidgetItem& first,
                                         const QTreeWidgetItem& second) const {
    const auto& a = static_cast<const TFolderRow&>(first);
    const auto& b = static_cast<const TFolderRow&>(second);
    const int column = std::abs(sortCode_);
    int64_t result = 0;
    if (column == 1) {
        result = QString::localeAwareCompare(a.Text(0), b.Text(0));
    } else if (column <= 6) {
        // One format for every text of a column: the longer one is the larger.
        const QString& x = a.Text(column - 1);
        const QString& y = b.Text(column - 1);
        result = x.size() - y.size();
        if (result == 0) result = QString::localeAwareCompare(x.toLower(), y.toLower());
    } else {
        result = int64_t(a.Stamp(column - 1)) - int64_t(b.Stamp(column - 1));
    }
    if (sortCode_ < 0) result = -result;
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

// --- the filters ---

void TSubfoldersPage::ShowFilterControls() {
    const int type = cbFoldersDisplayType_->currentIndex();
    txtFoldersTop_->setVisible(type == 0);
    cbFoldersTop_->setVisible(type == 0);
    udFoldersLargerThan_->setVisible(type == 1);
    cbFoldersLargerThanBytes_->setVisible(type == 1);
}

void TSubfoldersPage::cbFoldersDisplayTypeChange() {
    ShowFilterControls();
    RefreshList();
}

void TSubfoldersPage::ediFoldersLargerThanChange() {
    RefreshList();
}

// --- the rows ---

void TSubfoldersPage::TheFilesListDblClick() {
    const QTreeWidgetItem* row = TheFilesList_->currentItem();
    if (!row || !presentation_.Node) return;
    if (engine::TFolderNode* node = engine::FindChildNode(presentation_.Node, row->text(0), false))
        emit FolderChosen(node, false);
}

void TSubfoldersPage::TheFilesListMouseDown(const QPoint& pos) {
    const QTreeWidgetItem* row = TheFilesList_->itemAt(pos);
    if (!row || !presentation_.Node) return;
    TheFilesList_->setCurrentItem(const_cast<QTreeWidgetItem*>(row));
    const engine::TFolderNode* node = engine::FindChildNode(presentation_.Node, row->text(0), true);
    const engine::TFolderSize* r = node ? node->Record() : nullptr;
    // Through the window's item menu, which takes a folder deleted from the menu off the tree.
    emit ItemMenuRequested(engine::AddBackslash(presentation_.Path) + row->text(0), true,
                           r ? r->TreeSize : 0, r ? r->TreeWasted : 0,
                           TheFilesList_->viewport()->mapToGlobal(pos));
}

bool TSubfoldersPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panWebListLevelUp_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        emit LevelUpRequested(true);
    return TViewPage::eventFilter(watched, event);
}

// --- the filter as a whole ---

TSubfoldersPage::TFilter TSubfoldersPage::Filter() const {
    return {cbFoldersDisplayType_->currentIndex(), cbFoldersTop_->currentText(),
            cbFoldersLargerThanBytes_->currentIndex(), ediFoldersLargerThan_->text(), sortCode_};
}

void TSubfoldersPage::SetFilter(const TFilter& filter) {
    loading_ = true;
    cbFoldersDisplayType_->setCurrentIndex(filter.DisplayType);
    cbFoldersTop_->setCurrentText(filter.TopText);
    cbFoldersLargerThanBytes_->setCurrentIndex(filter.Unit);
    bool isNumber = false;
    const int number = filter.LargerThanText.toInt(&isNumber);
    if (isNumber) udFoldersLargerThan_->setValue(number);
    sortCode_ = filter.SortCode;
    loading_ = false;
    MarkSortColumn();
    ShowFilterControls();
    Forget();
}

// --- the settings ---

void TSubfoldersPage::LoadSettings() {
    loading_ = true;
    cbFoldersDisplayType_->setCurrentIndex(ReadPageSetting(FoldersDisplayType));
    cbFoldersTop_->setCurrentText(QString::number(ReadPageSetting(FoldersDisplayTopX)));
    udFoldersLargerThan_->setValue(ReadPageSetting(FoldersDisplayLargerThan));
    cbFoldersLargerThanBytes_->setCurrentIndex(ReadPageSetting(FoldersDisplayLargerThanUnit));
    sortCode_ = ReadPageSetting(FoldersDisplaySort);
    loading_ = false;
    MarkSortColumn();
    ShowFilterControls();
    Forget();
}

void TSubfoldersPage::SaveSettings() const {
    bool isNumber = false;
    const int topX = cbFoldersTop_->currentText().toInt(&isNumber);
    WritePageSetting(FoldersDisplayType, cbFoldersDisplayType_->currentIndex());
    WritePageSetting(FoldersDisplayTopX, isNumber ? topX : FoldersDisplayTopX.fallback);
    WritePageSetting(FoldersDisplayLargerThan, udFoldersLargerThan_->value());
    WritePageSetting(FoldersDisplayLargerThanUnit, cbFoldersLargerThanBytes_->currentIndex());
    WritePageSetting(FoldersDisplaySort, sortCode_);
}
