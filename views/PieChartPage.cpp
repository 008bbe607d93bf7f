#include "views/PieChartPage.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "views/SimpleControls.h"

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the owner paints every pixel
}

void TPaintBox::paintEvent(QPaintEvent* event) { emit Paint(event); }
void TPaintBox::mouseMoveEvent(QMouseEvent* event) { emit MouseMove(event); }
void TPaintBox::mousePressEvent(QMouseEvent* event) { emit MouseDown(event); }
void TPaintBox::resizeEvent(QResizeEvent*) { emit Resized(); }

TPieChartPage::TPieChartPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    panWebHeader = new QWidget(this);
    panWebHeader->setObjectName("panWebHeader");
    auto* header = new QGridLayout(panWebHeader);
    header->setContentsMargins(6, 4, 6, 4);
    imgIcon = new QLabel(panWebHeader);
    imgIcon->setFixedSize(32, 32);
    imgIcon->setCursor(Qt::PointingHandCursor);
    imgIcon->setToolTip("Click to display item properties");
    imgIcon->installEventFilter(this);
    txtWebFolderType = new QLabel(panWebHeader);
    txtWebFolderName = new QLabel(panWebHeader);
    QFont bold = txtWebFolderName->font();
    bold.setBold(true);
    txtWebFolderName->setFont(bold);
    txtWebFolderName->setTextFormat(Qt::PlainText);
    txtWebFolderName->setMinimumWidth(1);
    txtWebFolderSize = new QLabel(panWebHeader);
    txtWebFolderSize->setFont(bold);
    txtWebFolderSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtWebSectionDrive = new QLabel(panWebHeader);
    txtWebSectionDrive->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    gaugeWebSection = new TSimplePieGauge(panWebHeader);
    gaugeWebSection->setFixedSize(32, 32);
    txtWebSectionDriveSize = new QLabel(panWebHeader);
    header->addWidget(imgIcon, 0, 0, 2, 1);
    header->addWidget(txtWebFolderType, 0, 1);
    header->addWidget(txtWebFolderName, 1, 1);
    header->addWidget(txtWebFolderSize, 0, 2);
    header->addWidget(txtWebSectionDrive, 1, 2);
    header->addWidget(gaugeWebSection, 0, 3, 2, 1);
    header->addWidget(txtWebSectionDriveSize, 0, 4, 2, 1);
    header->setColumnStretch(1, 1);
    layout->addWidget(panWebHeader);

    FolderPie = new TPaintBox(this);
    FolderPie->setObjectName("FolderPie");
    layout->addWidget(FolderPie, 1);
}

bool TPieChartPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == imgIcon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        emit imgIconClick();
    return QWidget::eventFilter(watched, event);
}
