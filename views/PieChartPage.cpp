#include "views/PieChartPage.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "views/SimpleControls.h"

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the owner paints every pixel
}

void TPaintBox::paintEvent(QPaintEvent* event) {
    emit Paint(event);
}
void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMove(event);
}
void TPaintBox::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event);
}
void TPaintBox::resizeEvent(QResizeEvent*) {
    emit Resized();
}

TPieChartPage::TPieChartPage(QWidget* parent) : QWidget(parent) {
    Q_INIT_RESOURCE(pie);
    // The hot spot is the centre of the magnifier's lens.
    zoomIn_ = QCursor(QPixmap(QStringLiteral(":/cursors/CUR_ZOOMIN.png")), 12, 12);
    zoomOut_ = QCursor(QPixmap(QStringLiteral(":/cursors/CUR_ZOOMOUT.png")), 12, 12);
    otherItems_ = QPixmap(QStringLiteral(":/pieheader/files.png"));
    otherFolders_ = QPixmap(QStringLiteral(":/pieheader/folders.png"));

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
    // Long names and types must neither widen the window nor change the header's height: the
    // pie below would be redrawn whole with every move of the pointer.
    for (QLabel* label : {txtWebFolderType, txtWebFolderName}) {
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(1);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    txtWebFolderSize = new QLabel(panWebHeader);
    txtWebFolderSize->setFont(bold);
    txtWebFolderSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtWebSectionDrive = new QLabel(panWebHeader);
    txtWebSectionDrive->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    gaugeWebSection = new TSimplePieGauge(panWebHeader);
    gaugeWebSection->setFixedSize(32, 32);
    gaugeWebSection->SetBorderStyle(TSimplePieGauge::bsNone);
    txtWebSectionDriveSize = new QLabel(panWebHeader);
    header->addWidget(imgIcon, 0, 0, 2, 1);
    header->addWidget(txtWebFolderType, 0, 1);
    header->addWidget(txtWebFolderName, 1, 1);
    header->addWidget(txtWebFolderSize, 0, 2);
    header->addWidget(txtWebSectionDrive, 1, 2);
    header->addWidget(gaugeWebSection, 0, 3, 2, 1);
    header->addWidget(txtWebSectionDriveSize, 0, 4, 2, 1);
    header->setColumnStretch(1, 1);
    // Room for two lines of text beside the icon, whatever the labels hold at the moment.
    const int textRows = 2 * QFontMetrics(bold).height() + header->verticalSpacing();
    panWebHeader->setFixedHeight(std::max(32, textRows) + 8);
    layout->addWidget(panWebHeader);

    FolderPie = new TPaintBox(this);
    FolderPie->setObjectName("FolderPie");
    layout->addWidget(FolderPie, 1);
}

QCursor TPieChartPage::Cursor(int id) const {
    switch (id) {
        case crZoomIn:
            return zoomIn_;
        case crZoomOut:
            return zoomOut_;
        default:
            return QCursor(Qt::ArrowCursor);
    }
}

QPixmap TPieChartPage::GroupImage(int index) const {
    return index == giOtherFolders ? otherFolders_ : otherItems_;
}

bool TPieChartPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == imgIcon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        emit imgIconClick();
    return QWidget::eventFilter(watched, event);
}
