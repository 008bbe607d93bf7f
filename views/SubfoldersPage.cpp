#include "views/SubfoldersPage.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "config/AppConfiguration.h"
#include "desktop/Guarded.h"
#include "desktop/Shell.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"
#include "views/PageParts.h"
#include "views/SubfolderRows.h"

namespace {

const int kColumnWidths[] = {150, 80, 80, 80, 70, 70, 80, 80};

}  // namespace

// A row of the list: the texts and the sort keys of its subfolder, read by the view as they
// are (a sort compares rows many times, and item texts are slow to read back).
class TFolderRow : public QTreeWidgetItem {
public:
    TFolderRow(const TSubfoldersPage& page, TSubfolderRow row, const QIcon& icon)
        : row_(std::move(row)), icon_(icon), page_(page) {}
    QVariant data(int column, int role) const override {
        if (column < 0 || column >= 8) return {};
        switch (role) {
            case Qt::DisplayRole:
                return row_.Texts[column];
            case Qt::DecorationRole:
                return column == 0 ? QVariant(icon_) : QVariant();
            case Qt::TextAlignmentRole:
                return column == 0 ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
            default:
                return QTreeWidgetItem::data(column, role);
        }
    }
    bool operator<(const QTreeWidgetItem& other) const override {
        return page_.TheFilesListCompare(*this, other) < 0;
    }
    const TSubfolderRow& Row() const { return row_; }

private:
    TSubfolderRow row_;
    QIcon icon_;
    const TSubfoldersPage& page_;
};

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

    const TSubfolderChoice choice = ChoiceOf(Filter());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([this] {
        TheFilesList_->setUpdatesEnabled(true);
        QApplication::restoreOverrideCursor();
    });
    TheFilesList_->clear();
    TheFilesList_->setUpdatesEnabled(false);
    desktop::ShellIconList& icons = desktop::ShellIconList::Instance();
    const QIcon folderIcon = icons.Icon(icons.FolderIndex(false));
    QList<QTreeWidgetItem*> items;
    for (TSubfolderRow& row : SubfolderRows(presentation_, choice))
        items << new TFolderRow(*this, std::move(row), folderIcon);
    TheFilesList_->addTopLevelItems(items);
    sortCode_ = ShownSortCode(choice, presentation_.IncludeWasted);
    MarkSortColumn();
    if (choice.DisplayType == 0) {
        const QSignalBlocker quiet(cbFoldersTop_);
        cbFoldersTop_->setCurrentText(QString::number(choice.Top));
    }
}

TSubfolderChoice TSubfoldersPage::ChoiceOf(const TFilter& filter) {
    static const int64_t kUnits[] = {1, 1024, 1048576};
    TSubfolderChoice choice;
    choice.DisplayType = filter.DisplayType;
    choice.SortCode = filter.SortCode;
    bool isNumber = false;
    choice.Top = filter.TopText.toInt(&isNumber);
    if (!isNumber) choice.Top = FoldersDisplayTopX.fallback;
    // The number box holds 0 to 32767 and keeps 0 for a text that is no number.
    const int larger = filter.LargerThanText.toInt(&isNumber);
    const int unit = filter.Unit >= 0 && filter.Unit <= 2 ? filter.Unit : 1;
    choice.Threshold = int64_t(isNumber ? std::clamp(larger, 0, 32767) : 0) * kUnits[unit];
    return choice;
}

TListTable TSubfoldersPage::TableFor(const TPresentation& presentation, const TFilter& filter) {
    const TSubfolderChoice choice = ChoiceOf(filter);
    TListTable table{SubfolderCaptions(ShownSortCode(choice, presentation.IncludeWasted)), {}};
    for (TSubfolderRow& row : SubfolderRows(presentation, choice))
        table.Rows.push_back(std::move(row.Texts));
    return table;
}

TListTable TSubfoldersPage::Table() const {
    TListTable table;
    for (int c = 0; c < 8; ++c) table.Captions << TheFilesList_->headerItem()->text(c);
    for (int i = 0; i < TheFilesList_->topLevelItemCount(); ++i)
        table.Rows.push_back(
            static_cast<const TFolderRow*>(TheFilesList_->topLevelItem(i))->Row().Texts);
    return table;
}

// --- sorting ---

void TSubfoldersPage::MarkSortColumn() {
    const QStringList captions = SubfolderCaptions(sortCode_);
    for (int c = 0; c < 8; ++c) TheFilesList_->headerItem()->setText(c, captions[c]);
}

void TSubfoldersPage::TheFilesListColumnClick(int column) {
    sortCode_ = sortCode_ == column + 1 ? -(column + 1) : column + 1;
    MarkSortColumn();
    TheFilesList_->sortItems(0, Qt::AscendingOrder);
}

int TSubfoldersPage::TheFilesListCompare(const QTreeWidgetItem& first,
                                         const QTreeWidgetItem& second) const {
    return CompareSubfolderRows(static_cast<const TFolderRow&>(first).Row(),
                                static_cast<const TFolderRow&>(second).Row(), sortCode_);
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
