#include "views/FolderInfoPage.h"
#include "views/PageParts.h"

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

TFolderInfoPage::TFolderInfoPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);

    auto* header = new QHBoxLayout;
    imgWebFolderInfo = new QLabel;
    imgWebFolderInfo->setFixedSize(32, 32);
    imgWebFolderInfo->setCursor(Qt::PointingHandCursor);
    imgWebFolderInfo->setToolTip("Click to display item properties");
    imgWebFolderInfo->installEventFilter(this);
    auto* names = new QVBoxLayout;
    txtWebFolderInfoType = new QLabel;
    txtWebFolderInfoPath = NewPathLabel();
    names->addWidget(txtWebFolderInfoType);
    names->addWidget(txtWebFolderInfoPath);
    imgTreeBarChart = new QLabel;
    imgTreeBarChart->setPixmap(QPixmap(QStringLiteral(":/toolbar/levelup.png")));
    imgTreeBarChart->setCursor(Qt::PointingHandCursor);
    imgTreeBarChart->setToolTip("Tree Bar Chart");
    imgTreeBarChart->setStatusTip(
        "Displays the Tree Bar Chart Window, that helps you quickly find large folders (hogs).");
    imgTreeBarChart->installEventFilter(this);
    header->addWidget(imgWebFolderInfo);
    header->addLayout(names, 1);
    header->addWidget(imgTreeBarChart);
    layout->addLayout(header);

    panWebFolderInfoSizeSupport2 = new QWidget;
    auto* blocks = new QHBoxLayout(panWebFolderInfoSizeSupport2);
    QLabel** tree[4] = {&txtWebTreeInfoSize, &txtWebTreeInfoAllocated, &txtWebTreeInfoWasted,
                        &txtWebTreeInfoObjects};
    QLabel** own[4] = {&txtWebFolderInfoSize, &txtWebFolderInfoAllocated, &txtWebFolderInfoWasted,
                       &txtWebFolderInfoObjects};
    blocks->addWidget(TotalsBlock("Tree (Folder + Subfolders)", tree));
    blocks->addWidget(TotalsBlock("Folder", own));
    layout->addWidget(panWebFolderInfoSizeSupport2, 0, Qt::AlignHCenter);

    gridFolderInfo = new QTableWidget(11, 2);
    gridFolderInfo->setObjectName("gridFolderInfo");
    gridFolderInfo->horizontalHeader()->hide();
    gridFolderInfo->verticalHeader()->hide();
    gridFolderInfo->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridFolderInfo->setSelectionMode(QAbstractItemView::SingleSelection);
    gridFolderInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridFolderInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    gridFolderInfo->setColumnWidth(0, 110);
    gridFolderInfo->horizontalHeader()->setStretchLastSection(true);
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
        gridFolderInfo->setItem(row, 0, new QTableWidgetItem(captions[row]));
        gridFolderInfo->setItem(row, 1, new QTableWidgetItem);
        gridFolderInfo->setRowHeight(row, rowHeight);
    }
    layout->addWidget(gridFolderInfo, 1);
}

bool TFolderInfoPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == imgWebFolderInfo) emit imgWebFolderInfoClick();
        if (watched == imgTreeBarChart) emit imgTreeBarChartClick();
    }
    return QWidget::eventFilter(watched, event);
}
