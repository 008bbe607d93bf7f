#include "views/PieChartPage.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "config/AppConfiguration.h"
#include "controls/Helpers.h"
#include "controls/ItemProp.h"
#include "desktop/Guarded.h"
#include "desktop/Shell.h"
#include "draw/PainterCanvas.h"
#include "draw/WidgetCanvas.h"
#include "engine/Ncdu.h"
#include "engine/TextForms.h"
#include "views/HPieChart.h"
#include "views/PageParts.h"
#include "views/SimpleControls.h"

using engine::TFolderNode;

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

TPieChartPage::TPieChartPage(QWidget* parent) : TViewPage(parent) {
    Q_INIT_RESOURCE(pie);
    // The hot spot is the centre of the magnifier's lens.
    zoomIn_ = QCursor(QPixmap(QStringLiteral(":/cursors/CUR_ZOOMIN.png")), 12, 12);
    zoomOut_ = QCursor(QPixmap(QStringLiteral(":/cursors/CUR_ZOOMOUT.png")), 12, 12);
    otherItems_ = QPixmap(QStringLiteral(":/pieheader/files.png"));
    otherFolders_ = QPixmap(QStringLiteral(":/pieheader/folders.png"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* panWebHeader = new QWidget(this);
    panWebHeader->setObjectName("panWebHeader");
    auto* header = new QGridLayout(panWebHeader);
    header->setContentsMargins(6, 4, 6, 4);
    imgIcon_ = new QLabel(panWebHeader);
    imgIcon_->setObjectName("imgIcon");
    imgIcon_->setFixedSize(32, 32);
    imgIcon_->setCursor(Qt::PointingHandCursor);
    imgIcon_->setToolTip("Click to display item properties");
    imgIcon_->installEventFilter(this);
    txtWebFolderType_ = new QLabel(panWebHeader);
    txtWebFolderType_->setObjectName("txtWebFolderType");
    txtWebFolderName_ = new QLabel(panWebHeader);
    txtWebFolderName_->setObjectName("txtWebFolderName");
    QFont bold = txtWebFolderName_->font();
    bold.setBold(true);
    txtWebFolderName_->setFont(bold);
    // Long names and types must neither widen the window nor change the header's height: the
    // pie below would be redrawn whole with every move of the pointer.
    for (QLabel* label : {txtWebFolderType_, txtWebFolderName_}) {
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(1);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    txtWebFolderSize_ = new QLabel(panWebHeader);
    txtWebFolderSize_->setObjectName("txtWebFolderSize");
    txtWebFolderSize_->setFont(bold);
    txtWebFolderSize_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtWebSectionDrive_ = new QLabel(panWebHeader);
    txtWebSectionDrive_->setObjectName("txtWebSectionDrive");
    txtWebSectionDrive_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    gaugeWebSection_ = new TSimplePieGauge(panWebHeader);
    gaugeWebSection_->setObjectName("gaugeWebSection");
    gaugeWebSection_->setFixedSize(32, 32);
    gaugeWebSection_->SetBorderStyle(TSimplePieGauge::bsNone);
    txtWebSectionDriveSize_ = new QLabel(panWebHeader);
    txtWebSectionDriveSize_->setObjectName("txtWebSectionDriveSize");
    header->addWidget(imgIcon_, 0, 0, 2, 1);
    header->addWidget(txtWebFolderType_, 0, 1);
    header->addWidget(txtWebFolderName_, 1, 1);
    header->addWidget(txtWebFolderSize_, 0, 2);
    header->addWidget(txtWebSectionDrive_, 1, 2);
    header->addWidget(gaugeWebSection_, 0, 3, 2, 1);
    header->addWidget(txtWebSectionDriveSize_, 0, 4, 2, 1);
    header->setColumnStretch(1, 1);
    // Room for two lines of text beside the icon, whatever the labels hold at the moment.
    const int textRows = 2 * QFontMetrics(bold).height() + header->verticalSpacing();
    panWebHeader->setFixedHeight(std::max(32, textRows) + 8);
    layout->addWidget(panWebHeader);

    FolderPie_ = new TPaintBox(this);
    FolderPie_->setObjectName("FolderPie");
    layout->addWidget(FolderPie_, 1);

    picture_ = std::make_unique<draw::Bitmap>(FolderPie_->width(), FolderPie_->height());
    chart_ = std::make_unique<THPieChart>(&picture_->Canvas(), FolderPie_->width(),
                                          FolderPie_->height());
    display_ = std::make_unique<draw::WidgetCanvas>(FolderPie_);
    chart_->Display = display_.get();
    chart_->Buffer = picture_.get();
    chart_->CloseLastSection = true;
    chart_->MinTextAngle = MinTextSectionAngle;
    ApplyColors();

    desktop::Connect(FolderPie_, &TPaintBox::Paint, this,
                     [this](QPaintEvent* event) { FolderPiePaint(event->rect()); });
    desktop::Connect(FolderPie_, &TPaintBox::MouseMove, this, [this](QMouseEvent* event) {
        FolderPieMouseMove(event->position().toPoint());
    });
    desktop::Connect(FolderPie_, &TPaintBox::MouseDown, this, [this](QMouseEvent* event) {
        FolderPieMouseDown(event->button(), event->position().toPoint());
    });
    desktop::Connect(FolderPie_, &TPaintBox::Resized, this, &TPieChartPage::FolderPieResize);
}

TPieChartPage::~TPieChartPage() = default;

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
    if (watched == imgIcon_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        desktop::Guarded([this] { imgIconClick(); });
    return TViewPage::eventFilter(watched, event);
}

void TPieChartPage::ApplyColors() {
    chart_->BeginUpdate();
    chart_->SetLabelColors(AppColors[7], AppColors[8], AppColors[9], AppColors[10], AppColors[11],
                           AppColors[12]);
    chart_->SetColors(AppColors[0], AppColors[1], AppColors[2]);
    chart_->EndUpdate();
    emit ColorsApplied();
}

void TPieChartPage::OptionsChanged() {
    chart_->MinTextAngle = MinTextSectionAngle;
    ApplyColors();
    Forget();
}

// --- presenting ---

void TPieChartPage::Present(const TPresentation& presentation) {
    presentation_ = presentation;
    const QChar letter = presentation.DriveLetter;
    txtWebSectionDrive_->setText("of " + QString(letter) + ":");
    txtWebSectionDriveSize_->setText(
        presentation.DriveTotal < 0 ? QString() : engine::SizeText(presentation.DriveTotal));
    const bool build = shownFor_ != presentation.Path;
    LayOutPie(!build);  // a build draws the whole pie anyway
    if (build) BuildPie();
}

void TPieChartPage::Forget() {
    shownFor_.clear();
}

void TPieChartPage::FolderPieResize() {
    if (isVisible()) LayOutPie(true);
}

void TPieChartPage::LayOutPie(bool draw) {
    const QSize size = FolderPie_->size();
    // A window not shown yet has no final sizes: the chart keeps its geometry until it is.
    if (window()->isVisible()) chart_->SetSize(size.width(), size.height());
    picture_->SetSize(size.width(), size.height());
    // Inside a build the build's own end draws; counting down here would unlock it early.
    if (draw && chart_->UpdateCount() == 0) chart_->EndUpdate();
}

void TPieChartPage::FolderPiePaint(const QRect& rect) {
    QPainter(FolderPie_).drawImage(rect, picture_->Image(), rect);
}

void TPieChartPage::BuildPie() {
    TFolderNode* node = presentation_.Node;
    if (!node || !node->Record()) return;
    chart_->HotIndex = -1;
    // The folder itself is the item until the pointer moves: the right-click menu of the last
    // pie must not outlive its nodes.
    shownFor_ = presentation_.Path;
    infos_ = ::BuildPie(*chart_, *node, CurrentPieSettings(presentation_.ClusterSize));
    contextItem_ = infos_.front();
    UpdatePieHeader(contextItem_.Path, TItemKind::Folder, contextItem_.Wasted, contextItem_.Size);
    folderHeader_ = headerItem_;
}

void TPieChartPage::UpdatePieHeader(const QString& path, TItemKind kind, int64_t wasted,
                                    int64_t size) {
    int64_t shown = size;
    if (optIncludeWastedInformation->Value && wasted != -1 && size != -1) shown += wasted;
    emit WastedShown(PercentOf(wasted, size + wasted), engine::SizeText(wasted));
    switch (kind) {
        case TItemKind::File:
            emit StatusTextChanged("File " + path);
            break;
        case TItemKind::Folder:
            emit StatusTextChanged("Folder " + path);
            break;
        case TItemKind::Other:
            emit StatusTextChanged(path);
            break;
    }
    txtWebFolderSize_->setText(shown >= 0 ? engine::SizeText(shown) : QString());
    gaugeWebSection_->SetProgress(PercentOf(shown, presentation_.DriveTotal));

    QPixmap icon(32, 32);
    icon.fill(draw::ColorToQColor(draw::clWindow));
    QPainter painter(&icon);
    if (kind == TItemKind::Other) {
        txtWebFolderType_->clear();
        txtWebFolderName_->setText(path);
        painter.drawPixmap(
            0, 0,
            GroupImage(path == QLatin1String("Other smaller folders") ? giOtherFolders
                                                                      : giOtherItems));
    } else {
        if (headerItem_.path != path) {
            const desktop::IconSize large = desktop::IconSize::Large;
            desktop::ShellIconList& icons = desktop::ShellIconList::Instance();
            const TShellNames names = ShellNamesOf(path);
            headerItem_ = {path, names.name, names.type,
                           icons.Pixmap(ShellIconIndexOf(path), large)};
        }
        txtWebFolderName_->setText(headerItem_.name);
        txtWebFolderType_->setText(headerItem_.type);
        // An icon the theme has only smaller than 32 pixels stands in the middle of the picture.
        const QSize room = QSize(32, 32) - headerItem_.icon.deviceIndependentSize().toSize();
        painter.drawPixmap(std::max(0, room.width() / 2), std::max(0, room.height() / 2),
                           headerItem_.icon);
    }
    painter.end();
    imgIcon_->setPixmap(icon);
}

// --- the pointer over the pie ---

void TPieChartPage::FolderPieMouseMove(const QPoint& pos) {
    if (infos_.empty()) return;
    const int i = chart_->SectionAt(pos.x(), pos.y());
    if (i != chart_->HotIndex) {
        chart_->DrawLabel(chart_->HotIndex, false);
        chart_->HotIndex = i;
        chart_->DrawLabel(i, true);
    }
    const int info = i >= 0 ? chart_->GetSection(i)->Tag : 0;
    if (info < 0 || size_t(info) >= infos_.size()) return;
    const TSectionInfo& item = infos_[size_t(info)];
    SetControlCursor(FolderPie_, Cursor(item.Cursor), true);
    contextItem_ = item;
    UpdatePieHeader(item.Path, item.Kind, item.Wasted, item.Size);
}

void TPieChartPage::FolderPieMouseDown(Qt::MouseButton button, const QPoint& pos) {
    if (infos_.empty()) return;
    if (button == Qt::RightButton) {
        if (contextItem_.Kind == TItemKind::Other || contextItem_.Path.isEmpty()) return;
        // A file leaves its ancestors' totals with its slack at the drive's own cluster size,
        // which is what they hold.
        const int64_t wasted = contextItem_.Kind == TItemKind::File
                                   ? engine::Slack(contextItem_.Size, presentation_.ClusterSize)
                                   : contextItem_.Wasted;
        emit ItemMenuRequested(contextItem_.Path, contextItem_.Kind == TItemKind::Folder,
                               contextItem_.Size, wasted, FolderPie_->mapToGlobal(pos));
        return;
    }
    if (button != Qt::LeftButton) return;
    if (const TPieSection* section = chart_->GetSection(chart_->SectionAt(pos.x(), pos.y()))) {
        const int info = section->Tag;
        if (info <= 0 || size_t(info) >= infos_.size()) return;
        if (infos_[size_t(info)].Node)
            emit FolderChosen(infos_[size_t(info)].Node, optAutoExpand->Value);
        else if (IsSmallerFilesGroup(infos_[size_t(info)]) && presentation_.Node)
            emit SmallerFilesChosen(presentation_.Node);
        return;
    }
    emit LevelUpRequested(optAutoCollapse->Value);
}

void TPieChartPage::NodeLeaving(const TFolderNode* gone) {
    if (engine::IsInSubtree(presentation_.Node, gone)) presentation_ = {};
    const bool held = std::any_of(infos_.begin(), infos_.end(), [gone](const TSectionInfo& info) {
        return engine::IsInSubtree(info.Node, gone);
    });
    if (!held && !engine::IsInSubtree(contextItem_.Node, gone)) return;
    // The sections stay drawn until the next build, but no longer lead anywhere.
    infos_.clear();
    contextItem_ = {};
    shownFor_.clear();
}

void TPieChartPage::imgIconClick() {
    if (!presentation_.Path.isEmpty()) ShowItemProperties(presentation_.Path, this);
}
