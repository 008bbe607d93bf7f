#include "views/WastedSpacePage.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include "controls/Helpers.h"
#include "desktop/Guarded.h"
#include "draw/SystemColors.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"
#include "views/PageParts.h"
#include "views/SimpleControls.h"

namespace {

struct PanelText {
    const char* caption;
    const char* captionHint;
    const char* panelHint;
};

// As the user reads them: the 4K caption's hint says 4196 bytes, while its arithmetic uses 4096.
const PanelText kPanels[7] = {
    {"0.5K", "512 bytes", "high density floppy disks"},
    {"2K", "2048 bytes", "CD-ROMs"},
    {"4K", "4196 bytes", "FAT (128 MB - 255 MB), FAT32 (less than 8 GB)"},
    {"8K", "8192 bytes", "FAT (256 MB - 511 MB), FAT32 (8 GB - 16 GB)"},
    {"16K", "16384 bytes", "FAT (512 MB - 1023 MB), FAT32 (16 GB - 32 GB)"},
    {"32K", "32768 bytes", "FAT (1 GB - 2 GB), FAT32 (32 GB or more)"},
    {"64K", "65536 bytes", ""},
};

constexpr uint32_t kLime = 0x0000FF00;

QFrame* NewRow() {
    auto* row = new QFrame;
    row->setFrameStyle(QFrame::Box | QFrame::Plain);
    row->setLineWidth(1);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    return row;
}

}  // namespace

TWastedSpacePage::TWastedSpacePage(QWidget* parent) : TViewPage(parent) {
    auto* layout = new QVBoxLayout(this);

    panWebWastedPath_ = new QWidget;
    panWebWastedPath_->setObjectName("panWebWastedPath");
    auto* header = new QVBoxLayout(panWebWastedPath_);
    header->setContentsMargins(0, 0, 0, 0);
    txtWebWastedAmount_ = new QLabel("Amount of space wasted by folder");
    txtWebWastedAmount_->setObjectName("txtWebWastedAmount");
    txtWebWastedPath_ = new TPathLabel;
    txtWebWastedPath_->setObjectName("txtWebWastedPath");
    const QFont bold = txtWebWastedPath_->font();
    header->addWidget(txtWebWastedAmount_);
    header->addWidget(txtWebWastedPath_);
    header->addWidget(new QLabel("at different cluster sizes (and % of usage+wasted)"));
    layout->addWidget(panWebWastedPath_);

    // The rows are placed by hand (LayOutRows): centred, and sharing one border line.
    area_ = new QWidget;
    area_->setObjectName("panWastedArea");
    area_->setBackgroundRole(QPalette::Base);
    area_->setAutoFillBackground(true);
    area_->installEventFilter(this);
    panWastedSupport1_ = NewRow();
    panWastedSupport1_->setObjectName("panWastedSupport1");
    panWastedSupport2_ = NewRow();
    panWastedSupport2_->setObjectName("panWastedSupport2");
    for (QWidget* row : {panWastedSupport1_, panWastedSupport2_}) row->setParent(area_);
    for (int i = 0; i < 7; ++i) {
        QFrame* panel = panWasted_[i] = new QFrame;
        panel->setObjectName(QStringLiteral("panWasted%1").arg(i + 1));
        panel->setFixedWidth(75);
        panel->setCursor(Qt::PointingHandCursor);
        panel->setToolTip(kPanels[i].panelHint);
        // Its own colour, not the area's: a child takes its parent's background role otherwise.
        panel->setBackgroundRole(QPalette::Window);
        panel->setAutoFillBackground(true);
        auto* column = new QVBoxLayout(panel);
        column->setContentsMargins(2, 4, 2, 4);
        capWasted_[i] = new QLabel(kPanels[i].caption);
        capWasted_[i]->setObjectName(QStringLiteral("capWasted%1").arg(i + 1));
        capWasted_[i]->setToolTip(kPanels[i].captionHint);
        capWasted_[i]->setAlignment(Qt::AlignCenter);
        capWasted_[i]->setFont(bold);
        WastedInd_[i] = new TSimplePieGauge;
        WastedInd_[i]->setObjectName(QStringLiteral("WastedInd%1").arg(i + 1));
        WastedInd_[i]->setFixedSize(32, 32);
        WastedInd_[i]->SetBorderStyle(TSimplePieGauge::bsNone);
        WastedInd_[i]->SetForeColor(kLime);
        txtWasted_[i] = new QLabel;
        txtWasted_[i]->setObjectName(QStringLiteral("txtWasted%1").arg(i + 1));
        txtWasted_[i]->setAlignment(Qt::AlignCenter);
        txtWasted_[i]->setWordWrap(true);
        column->addWidget(capWasted_[i]);
        column->addWidget(WastedInd_[i], 0, Qt::AlignHCenter);
        column->addWidget(txtWasted_[i]);
        (i < 4 ? panWastedSupport1_ : panWastedSupport2_)->layout()->addWidget(panel);
    }
    txtWebReduceWaste_ = new QLabel("Click here to learn how to reduce the wasted space", area_);
    txtWebReduceWaste_->setObjectName("txtWebReduceWaste");
    txtWebReduceWaste_->setCursor(Qt::PointingHandCursor);
    QFont underlined = txtWebReduceWaste_->font();
    underlined.setUnderline(true);
    txtWebReduceWaste_->setFont(underlined);
    txtWebReduceWaste_->setForegroundRole(QPalette::Link);
    txtWebReduceWaste_->installEventFilter(this);

    panWastedSupport_ = new QScrollArea;
    panWastedSupport_->setObjectName("panWastedSupport");
    panWastedSupport_->setWidget(area_);
    panWastedSupport_->setWidgetResizable(true);
    layout->addWidget(panWastedSupport_, 1);
    const int rowsWidth = panWastedSupport1_->sizeHint().width();
    area_->setMinimumSize(rowsWidth, panWastedSupport1_->sizeHint().height() +
                                         panWastedSupport2_->sizeHint().height() +
                                         txtWebReduceWaste_->sizeHint().height() + 8);
}

void TWastedSpacePage::Present(const TPresentation& presentation) {
    const engine::TFolderNode* node = presentation.Node;
    const engine::TFolderSize* r = node ? node->Record() : nullptr;
    if (!r) return;
    // A folder speaks of itself with its subfolders, a drive root of the drive.
    const bool folder = node->Parent() != nullptr;
    txtWebWastedAmount_->setText(QStringLiteral("Amount of space wasted %1")
                                     .arg(folder ? "by folder (+ subfolders)" : "on drive"));
    txtWebWastedPath_->SetPath(folder ? presentation.Path : node->DisplayName());
    ReduceWasteTopic_ = folder ? 3010 : 3020;
    SetHelpContext(this, ReduceWasteTopic_);  // F1 on the page opens the link's topic
    for (int i = 0; i < 7; ++i) {
        const bool own = presentation.ClusterSize == engine::ReferenceClusterSizes[size_t(i)];
        QPalette palette = panWasted_[i]->palette();
        palette.setColor(QPalette::Window,
                         draw::ColorToQColor(own ? draw::clBtnFace : draw::clWindow));
        panWasted_[i]->setPalette(palette);
        // Button face is close to the window colour in many themes: a raised edge marks it too.
        panWasted_[i]->setFrameStyle(own ? QFrame::Panel | QFrame::Raised : QFrame::NoFrame);
        const int64_t wasted = engine::TreeWastedAt(*r, i + 1);
        WastedInd_[i]->SetProgress(PercentOf(wasted, r->TreeSize + wasted));
        txtWasted_[i]->setText(engine::SizeText(wasted));
        txtWasted_[i]->setToolTip(engine::ExactBytesText(wasted));
    }
    LayOutRows();
}

TWastedSpacePage::TTexts TWastedSpacePage::Texts() const {
    TTexts texts{txtWebWastedAmount_->text(), txtWebWastedPath_->text(), {}};
    for (size_t i = 0; i < 7; ++i)
        texts.Panels[i] = {capWasted_[i]->text(), capWasted_[i]->toolTip(), txtWasted_[i]->text(),
                           txtWasted_[i]->toolTip(), WastedInd_[i]->Progress()};
    return texts;
}

// Each row centred in the area, the two together centred from top to bottom with the link below
// them, the second row's top on the first row's bottom line.
void TWastedSpacePage::LayOutRows() {
    const QSize one = panWastedSupport1_->sizeHint();
    const QSize two = panWastedSupport2_->sizeHint();
    const QSize link = txtWebReduceWaste_->sizeHint();
    const int width = area_->width();
    const int spare = area_->height() - one.height() - two.height() - link.height() - 8;
    const int top = std::max(0, spare / 2);
    panWastedSupport1_->setGeometry(std::max(0, (width - one.width()) / 2), top, one.width(),
                                    one.height());
    panWastedSupport2_->setGeometry(std::max(0, (width - two.width()) / 2), top + one.height() - 1,
                                    two.width(), two.height());
    txtWebReduceWaste_->setGeometry(std::max(0, (width - link.width()) / 2),
                                    top + one.height() + two.height() + 7, link.width(),
                                    link.height());
}

bool TWastedSpacePage::eventFilter(QObject* watched, QEvent* event) {
    desktop::Guarded([&] {
        if (watched == area_ && event->type() == QEvent::Resize) LayOutRows();
        if (watched == txtWebReduceWaste_ && event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            emit HelpRequested(ReduceWasteTopic_);
    });
    return TViewPage::eventFilter(watched, event);
}
