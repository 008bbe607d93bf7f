#include "views/SubfoldersPage.h"
#include "views/PageParts.h"

#include "config/AppConfiguration.h"
#include "engine/FolderTree.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char* const kColumns[] = {"Name",        "Size",    "Allocated",   "Wasted",
                                "% of Parent", "Objects", "Last Access", "Last Change"};
const int kColumnWidths[] = {150, 80, 80, 80, 70, 70, 80, 80};

}  // namespace

TSubfoldersPage::TSubfoldersPage(QWidget* parent) : TViewPage(parent) {
    auto* layout = new QVBoxLayout(this);

    panWebFolderListPath_ = new QWidget;
    auto* header = new QHBoxLayout(panWebFolderListPath_);
    header->setContentsMargins(0, 0, 0, 0);
    auto* pathBlock = new QVBoxLayout;
    pathBlock->addWidget(new QLabel("Subfolders of"));
    txtWebFolderListPath_ = NewPathLabel();
    pathBlock->addWidget(txtWebFolderListPath_);
    header->addLayout(pathBlock, 1);

    cbFoldersDisplayType_ = new QComboBox;
    cbFoldersDisplayType_->setObjectName("cbFoldersDisplayType");
    cbFoldersDisplayType_->addItems({"Top Large Folders", "Folders Larger Than", "All Folders"});
    txtFoldersTop_ = new QLabel("Top");
    cbFoldersTop_ = new QComboBox;
    cbFoldersTop_->setObjectName("cbFoldersTop");
    cbFoldersTop_->setEditable(true);
    cbFoldersTop_->addItems({"5", "10", "15", "20", "25", "50", "75", "100", "250", "500", "1000"});
    udFoldersLargerThan_ = new QSpinBox;
    udFoldersLargerThan_->setObjectName("udFoldersLargerThan");
    udFoldersLargerThan_->setRange(0, 32767);
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
    panWebListLevelUp_->setCursor(Qt::PointingHandCursor);
    auto* up = new QHBoxLayout(panWebListLevelUp_);
    up->setContentsMargins(8, 0, 0, 0);
    auto* arrow = new QLabel;
    arrow->setPixmap(QPixmap(QStringLiteral(":/toolbar/levelup.png")));
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
    TheFilesList_->setColumnCount(8);
    TheFilesList_->setHeaderLabels({kColumns[0], kColumns[1], kColumns[2], kColumns[3], kColumns[4],
                                    kColumns[5], kColumns[6], kColumns[7]});
    TheFilesList_->header()->setSectionsClickable(true);
    TheFilesList_->header()->setSortIndicatorShown(false);
    for (int c = 0; c < 8; ++c) {
        TheFilesList_->setColumnWidth(c, kColumnWidths[c]);
        if (c > 0)
            TheFilesList_->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    TheFilesList_->setStyleSheet(
        "QTreeView::item { border-right: 1px solid palette(mid); border-bottom: 1px solid "
        "palette(mid); }");
    layout->addWidget(TheFilesList_, 1);
    MarkSortColumn();
    ShowFilterControls();
}

void TSubfoldersPage::MarkSortColumn() {
    for (int c = 0; c < 8; ++c) {
        const bool marked = std::abs(sortCode_) == c + 1;
        TheFilesList_->headerItem()->setText(
            c, (marked ? QStringLiteral("-> ") : QString()) + kColumns[c]);
    }
}

void TSubfoldersPage::ShowFilterControls() {
    const int type = cbFoldersDisplayType_->currentIndex();
    txtFoldersTop_->setVisible(type == 0);
    cbFoldersTop_->setVisible(type == 0);
    udFoldersLargerThan_->setVisible(type == 1);
    cbFoldersLargerThanBytes_->setVisible(type == 1);
}

bool TSubfoldersPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panWebListLevelUp_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        emit LevelUpRequested(true);
    return TViewPage::eventFilter(watched, event);
}

void TSubfoldersPage::Present(const TPresentation& presentation) {
    if (shownFor_ == presentation.Node) return;
    txtWebFolderListPath_->setText(presentation.Path);
    shownFor_ = presentation.Node;
}

void TSubfoldersPage::Forget() {
    shownFor_ = nullptr;
}

void TSubfoldersPage::NodeLeaving(const engine::TFolderNode* gone) {
    if (engine::IsInSubtree(shownFor_, gone)) shownFor_ = nullptr;
}

void TSubfoldersPage::LoadSettings() {
    cbFoldersDisplayType_->setCurrentIndex(ReadPageSetting(FoldersDisplayType));
    cbFoldersTop_->setCurrentText(QString::number(ReadPageSetting(FoldersDisplayTopX)));
    udFoldersLargerThan_->setValue(ReadPageSetting(FoldersDisplayLargerThan));
    cbFoldersLargerThanBytes_->setCurrentIndex(ReadPageSetting(FoldersDisplayLargerThanUnit));
    sortCode_ = ReadPageSetting(FoldersDisplaySort);
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
