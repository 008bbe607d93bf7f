#include "views/FolderInfoPage.h"
#include "views/PageParts.h"

#include "controls/ItemProp.h"
#include "platform/Guarded.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// One block of four captioned values; the value labels are handed back in caption order.
QGroupBox* TotalsBlock(const QString& title, QLabel** values[4]) {
    auto* box = new QGroupBox(title);
    auto* grid = new QGridLayout(box);
    const char* captions[] = {"Size:", "Allocated:", "Wasted:", "Objects:"};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(captions[i]), i, 0);
        *values[i] = new QLabel;
        (*values[i])->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        (*values[i])->setMinimumWidth(110);
        grid->addWidget(*values[i], i, 1);
    }
    return box;
}

}  // namespace

TFolderInfoPage::TFolderInfoPage(QWidget* parent) : TViewPage(parent) {
    auto* layout = new QVBoxLayout(this);

    auto* header = new QHBoxLayout;
    imgWebFolderInfo_ = new QLabel;
    imgWebFolderInfo_->setFixedSize(32, 32);
    imgWebFolderInfo_->setCursor(Qt::PointingHandCursor);
    imgWebFolderInfo_->setToolTip("Click to display item properties");
    imgWebFolderInfo_->installEventFilter(this);
    auto* names = new QVBoxLayout;
    txtWebFolderInfoType_ = new QLabel;
    txtWebFolderInfoPath_ = NewPathLabel();
    names->addWidget(txtWebFolderInfoType_);
    names->addWidget(txtWebFolderInfoPath_);
    imgTreeBarChart_ = new QLabel;
    imgTreeBarChart_->setPixmap(QPixmap(QStringLiteral(":/toolbar/levelup.png")));
    imgTreeBarChart_->setCursor(Qt::PointingHandCursor);
    imgTreeBarChart_->setToolTip("Tree Bar Chart");
    imgTreeBarChart_->setStatusTip(
        "Displays the Tree Bar Chart Window, that helps you quickly find large folders (hogs).");
    imgTreeBarChart_->installEventFilter(this);
    header->addWidget(imgWebFolderInfo_);
    header->addLayout(names, 1);
    header->addWidget(imgTreeBarChart_);
    layout->addLayout(header);

    panWebFolderInfoSizeSupport2_ = new QWidget;
    auto* blocks = new QHBoxLayout(panWebFolderInfoSizeSupport2_);
    QLabel** tree[4] = {&txtWebTreeInfoSize_, &txtWebTreeInfoAllocated_, &txtWebTreeInfoWasted_,
                        &txtWebTreeInfoObjects_};
    QLabel** own[4] = {&txtWebFolderInfoSize_, &txtWebFolderInfoAllocated_,
                       &txtWebFolderInfoWasted_, &txtWebFolderInfoObjects_};
    blocks->addWidget(TotalsBlock("Tree (Folder + Subfolders)", tree));
    blocks->addWidget(TotalsBlock("Folder", own));
    layout->addWidget(panWebFolderInfoSizeSupport2_, 0, Qt::AlignHCenter);

    gridFolderInfo_ = new QTableWidget(11, 2);
    gridFolderInfo_->setObjectName("gridFolderInfo");
    gridFolderInfo_->horizontalHeader()->hide();
    gridFolderInfo_->verticalHeader()->hide();
    gridFolderInfo_->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridFolderInfo_->setSelectionMode(QAbstractItemView::SingleSelection);
    gridFolderInfo_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridFolderInfo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    gridFolderInfo_->setColumnWidth(0, 110);
    gridFolderInfo_->horizontalHeader()->setStretchLastSection(true);
    const char* captions[] = {"Long name",
                              "MS-DOS name",
                              "Last access date",
                              "Last change date",
                              "Creation date",
                              "Attributes",
                              "",
                              "Read-Only files",
                              "Hidden files",
                              "System files",
                              "Compressed files"};
    const int rowHeight = fontMetrics().height() + 4;  // the text height of "Long name" plus 4
    for (int row = 0; row < 11; ++row) {
        gridFolderInfo_->setItem(row, 0, new QTableWidgetItem(captions[row]));
        gridFolderInfo_->setItem(row, 1, new QTableWidgetItem);
        gridFolderInfo_->setRowHeight(row, rowHeight);
    }
    layout->addWidget(gridFolderInfo_, 1);
}

bool TFolderInfoPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == imgWebFolderInfo_ && !presentation_.Path.isEmpty())
            platform::Guarded([this] { ShowItemProperties(presentation_.Path, this); });
        if (watched == imgTreeBarChart_) emit imgTreeBarChartClick();
    }
    return TViewPage::eventFilter(watched, event);
}

void TFolderInfoPage::Present(const TPresentation& presentation) {
    presentation_ = presentation;
    if (shownFor_ == presentation.Path) return;
    txtWebFolderInfoPath_->setText(presentation.Path);
    shownFor_ = presentation.Path;
}

void TFolderInfoPage::Forget() {
    shownFor_.clear();
}
