#include "views/WastedSpacePage.h"
#include "views/PageParts.h"

#include "engine/FolderTree.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

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

// A label that reports a left click.
class TLinkLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (onClick) onClick();
    }
};

}  // namespace

TWastedSpacePage::TWastedSpacePage(QWidget* parent) : TViewPage(parent) {
    auto* layout = new QVBoxLayout(this);

    panWebWastedPath_ = new QWidget;
    auto* header = new QVBoxLayout(panWebWastedPath_);
    header->setContentsMargins(0, 0, 0, 0);
    txtWebWastedAmount_ = new QLabel("Amount of space wasted by folder");
    txtWebWastedPath_ = new TPathLabel;
    txtWebWastedPath_->setObjectName("txtWebWastedPath");
    const QFont bold = txtWebWastedPath_->font();
    header->addWidget(txtWebWastedAmount_);
    header->addWidget(txtWebWastedPath_);
    header->addWidget(new QLabel("at different cluster sizes (and % of usage+wasted)"));
    layout->addWidget(panWebWastedPath_);

    auto* area = new QWidget;
    area->setBackgroundRole(QPalette::Base);
    area->setAutoFillBackground(true);
    auto* rows = new QVBoxLayout(area);
    panWastedSupport1_ = new QWidget;
    panWastedSupport2_ = new QWidget;
    auto* row1 = new QHBoxLayout(panWastedSupport1_);
    auto* row2 = new QHBoxLayout(panWastedSupport2_);
    for (int i = 0; i < 7; ++i) {
        QFrame* panel = panWasted_[i] = new QFrame;
        panel->setObjectName(QStringLiteral("panWasted%1").arg(i + 1));
        panel->setFixedWidth(75);
        panel->setCursor(Qt::PointingHandCursor);
        panel->setToolTip(kPanels[i].panelHint);
        auto* column = new QVBoxLayout(panel);
        capWasted_[i] = new QLabel(kPanels[i].caption);
        capWasted_[i]->setToolTip(kPanels[i].captionHint);
        capWasted_[i]->setAlignment(Qt::AlignCenter);
        capWasted_[i]->setFont(bold);
        WastedInd_[i] = new TSimplePieGauge;
        WastedInd_[i]->setFixedSize(32, 32);
        WastedInd_[i]->SetBorderStyle(TSimplePieGauge::bsNone);
        WastedInd_[i]->SetForeColor(kLime);
        txtWasted_[i] = new QLabel;
        txtWasted_[i]->setAlignment(Qt::AlignCenter);
        txtWasted_[i]->setWordWrap(true);
        column->addWidget(capWasted_[i]);
        column->addWidget(WastedInd_[i], 0, Qt::AlignHCenter);
        column->addWidget(txtWasted_[i]);
        (i < 4 ? row1 : row2)->addWidget(panel);
    }
    row1->addStretch();
    row2->addStretch();
    rows->addWidget(panWastedSupport1_);
    rows->addWidget(panWastedSupport2_);
    auto* link = new TLinkLabel("Click here to learn how to reduce the wasted space");
    link->onClick = [this] { emit txtWebReduceWasteClick(); };
    txtWebReduceWaste_ = link;
    txtWebReduceWaste_->setCursor(Qt::PointingHandCursor);
    QFont underlined = txtWebReduceWaste_->font();
    underlined.setUnderline(true);
    txtWebReduceWaste_->setFont(underlined);
    txtWebReduceWaste_->setForegroundRole(QPalette::Link);
    rows->addWidget(txtWebReduceWaste_);
    rows->addStretch();

    panWastedSupport_ = new QScrollArea;
    panWastedSupport_->setWidget(area);
    panWastedSupport_->setWidgetResizable(true);
    layout->addWidget(panWastedSupport_, 1);
}

void TWastedSpacePage::Present(const TPresentation& presentation) {
    txtWebWastedPath_->SetPath(presentation.Path);
    ReduceWasteTopic_ = presentation.Node && presentation.Node->Parent() ? 3010 : 3020;
}
