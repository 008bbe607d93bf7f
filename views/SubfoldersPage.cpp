#include "views/SubfoldersPage.h"
#include "views/PageParts.h"

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

TSubfoldersPage::TSubfoldersPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);

    panWebFolderListPath = new QWidget;
    auto* header = new QHBoxLayout(panWebFolderListPath);
    header->setContentsMargins(0, 0, 0, 0);
    auto* pathBlock = new QVBoxLayout;
    pathBlock->addWidget(new QLabel("Subfolders of"));
    txtWebFolderListPath = NewPathLabel();
    pathBlock->addWidget(txtWebFolderListPath);
    header->addLayout(pathBlock, 1);

    cbFoldersDisplayType = new QComboBox;
    cbFoldersDisplayType->addItems({"Top Large Folders", "Folders Larger Than", "All Folders"});
    txtFoldersTop = new QLabel("Top");
    cbFoldersTop = new QComboBox;
    cbFoldersTop->setEditable(true);
    cbFoldersTop->addItems({"5", "10", "15", "20", "25", "50", "75", "100", "250", "500", "1000"});
    udFoldersLargerThan = new QSpinBox;
    udFoldersLargerThan->setRange(0, 32767);
    udFoldersLargerThan->setWrapping(false);
    ediFoldersLargerThan = udFoldersLargerThan->findChild<QLineEdit*>();
    cbFoldersLargerThanBytes = new QComboBox;
    cbFoldersLargerThanBytes->addItems({"bytes", "KB", "MB"});
    header->addWidget(cbFoldersDisplayType);
    header->addWidget(txtFoldersTop);
    header->addWidget(cbFoldersTop);
    header->addWidget(udFoldersLargerThan);
    header->addWidget(cbFoldersLargerThanBytes);

    panWebListLevelUp = new QWidget;
    panWebListLevelUp->setCursor(Qt::PointingHandCursor);
    auto* up = new QHBoxLayout(panWebListLevelUp);
    up->setContentsMargins(8, 0, 0, 0);
    auto* arrow = new QLabel;
    arrow->setPixmap(QPixmap(QStringLiteral(":/toolbar/levelup.png")));
    up->addWidget(arrow);
    up->addWidget(new QLabel("Up One Level"));
    // The whole panel takes the clicks, as one transparent shape over it would.
    panWebListLevelUp->installEventFilter(this);
    header->addWidget(panWebListLevelUp);
    layout->addWidget(panWebFolderListPath);

    TheFilesList = new QTreeWidget;
    TheFilesList->setObjectName("TheFilesList");
    TheFilesList->setRootIsDecorated(false);
    TheFilesList->setUniformRowHeights(true);
    TheFilesList->setSelectionBehavior(QAbstractItemView::SelectRows);
    TheFilesList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TheFilesList->setAllColumnsShowFocus(true);
    TheFilesList->setColumnCount(8);
    TheFilesList->setHeaderLabels({kColumns[0], kColumns[1], kColumns[2], kColumns[3], kColumns[4],
                                   kColumns[5], kColumns[6], kColumns[7]});
    TheFilesList->header()->setSectionsClickable(true);
    TheFilesList->header()->setSortIndicatorShown(false);
    for (int c = 0; c < 8; ++c) {
        TheFilesList->setColumnWidth(c, kColumnWidths[c]);
        if (c > 0)
            TheFilesList->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    TheFilesList->setStyleSheet(
        "QTreeView::item { border-right: 1px solid palette(mid); border-bottom: 1px solid "
        "palette(mid); }");
    layout->addWidget(TheFilesList, 1);
    MarkSortColumn();
    ShowFilterControls();
}

void TSubfoldersPage::MarkSortColumn() {
    for (int c = 0; c < 8; ++c) {
        const bool marked = std::abs(SortCode) == c + 1;
        TheFilesList->headerItem()->setText(
            c, (marked ? QStringLiteral("-> ") : QString()) + kColumns[c]);
    }
}

void TSubfoldersPage::ShowFilterControls() {
    const int type = cbFoldersDisplayType->currentIndex();
    txtFoldersTop->setVisible(type == 0);
    cbFoldersTop->setVisible(type == 0);
    udFoldersLargerThan->setVisible(type == 1);
    cbFoldersLargerThanBytes->setVisible(type == 1);
}

bool TSubfoldersPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panWebListLevelUp && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        emit UpOneLevelClick();
    return QWidget::eventFilter(watched, event);
}
