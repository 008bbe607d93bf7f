#include "views/FormSectionSize.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "config/AppConfiguration.h"
#include "controls/WindowPlacement.h"
#include "views/SimpleControls.h"

TSectionSizeBox* SectionSizeBox = nullptr;

namespace {

const QString kPlacementSection = QStringLiteral("PopUpBox");
constexpr int kDefaultWidth = 98;
constexpr int kDefaultHeight = 238;

QLabel* AddText(QVBoxLayout* block, const QString& text, bool bold = false) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    // A long size text is cut rather than widening the narrow window.
    label->setMinimumWidth(1);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    block->addWidget(label);
    return label;
}

TSimplePieGauge* AddGauge(QVBoxLayout* block) {
    auto* gauge = new TSimplePieGauge;
    gauge->setFixedSize(32, 32);
    gauge->SetBorderStyle(TSimplePieGauge::bsNone);
    // The layout keeps it centred horizontally whatever the window's width.
    block->addWidget(gauge, 0, Qt::AlignHCenter);
    return gauge;
}

QVBoxLayout* AddBlock(QVBoxLayout* window, QWidget*& panel) {
    auto* frame = new QFrame;
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel = frame;
    window->addWidget(frame, 1);
    auto* block = new QVBoxLayout(frame);
    block->setContentsMargins(2, 4, 2, 4);
    block->setSpacing(2);
    return block;
}

}  // namespace

TSectionSizeBox::TSectionSizeBox(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("SectionSizeBox");
    setWindowTitle("Wasted & Drive Info");
    setAttribute(Qt::WA_ShowWithoutActivating);  // the main window keeps the focus
    // A smaller face than the desktop's, so that "999.99 GB out of" fits the narrow window.
    if (QFont small = font(); small.pointSizeF() > 0) {
        small.setPointSizeF(small.pointSizeF() * 0.8);
        setFont(small);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(3);

    QVBoxLayout* wasted = AddBlock(layout, panWasted);
    AddText(wasted, "Item wastes");
    txtWasted = AddText(wasted, QString(), true);
    gaugeWasted = AddGauge(wasted);
    AddText(wasted, "of used space");

    QVBoxLayout* drive = AddBlock(layout, panDrive);
    txtDrive = AddText(drive, QString(), true);
    AddText(drive, "Free space");
    gaugeDriveFreeSpace = AddGauge(drive);
    txtDriveFreeSpace = AddText(drive, QString());
    txtDriveCapacity = AddText(drive, QString());

    popSectionBox = new QMenu(this);
    popSectionBoxHide = popSectionBox->addAction("&Hide");
    popSectionBox->addSeparator();
    popSectionBoxDefaultSize = popSectionBox->addAction("&Default Size");
    connect(popSectionBoxHide, &QAction::triggered, this, &QWidget::close);
    connect(popSectionBoxDefaultSize, &QAction::triggered, this,
            [this] { resize(kDefaultWidth, kDefaultHeight); });

    resize(kDefaultWidth, kDefaultHeight);
    ApplyColors();
    SetDrive(u'?', 0, QString(), QString());
    SetWasted(0, QString());
    RestoreFormPlacement(this, AppRegistryKey, kPlacementSection);
}

TSectionSizeBox::~TSectionSizeBox() {
    // A placement that cannot be written is simply not kept.
    (void)SaveFormPlacement(this, AppRegistryKey, kPlacementSection);
}

void TSectionSizeBox::SetWasted(int percent, const QString& text) {
    txtWasted->setText(text);
    gaugeWasted->SetProgress(percent);
}

void TSectionSizeBox::SetDrive(QChar letter, int freePercent, const QString& freeText,
                               const QString& totalText) {
    txtDrive->setText("Drive " + QString(letter) + ":");
    txtDriveFreeSpace->setText(freeText + " out of");
    txtDriveCapacity->setText(totalText);
    gaugeDriveFreeSpace->SetProgress(freePercent);
}

void TSectionSizeBox::ApplyColors() {
    gaugeWasted->SetForeColor(AppColors[15]);
    gaugeDriveFreeSpace->SetForeColor(AppColors[16]);
}

void TSectionSizeBox::showEvent(QShowEvent* event) {
    // Without a placement of its own the window starts beside its owner, on the owner's screen.
    if (!testAttribute(Qt::WA_Moved) && parentWidget()) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        const QRect screen = parentWidget()->screen()->availableGeometry();
        QPoint at(owner.right() + 1, owner.top());
        if (at.x() + frameGeometry().width() > screen.right() + 1)
            at.setX(std::max(screen.left(), owner.right() + 1 - frameGeometry().width()));
        move(at);
    }
    QWidget::showEvent(event);
}

void TSectionSizeBox::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) emit Closed();
}

void TSectionSizeBox::contextMenuEvent(QContextMenuEvent* event) {
    // The labels and gauges pass their right clicks on to here.
    popSectionBox->popup(event->globalPos());
}
