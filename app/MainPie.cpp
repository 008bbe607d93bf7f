// The main window's pie chart page: the chart with its off-screen picture, the pie built for
// the presented folder, the header that names the item under the pointer, hovering, clicks,
// resizing, and the section size window beside the page.
#include <QAction>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTreeView>
#include <algorithm>
#include <cmath>

#include "app/FolderTreeModel.h"
#include "app/main.h"
#include "config/AppConfiguration.h"
#include "controls/Helpers.h"
#include "controls/ItemProp.h"
#include "engine/TextForms.h"
#include "platform/FindFile.h"
#include "platform/Guarded.h"
#include "platform/Shell.h"
#include "views/FormSectionSize.h"
#include "views/PieChartPage.h"
#include "views/SimpleControls.h"

using engine::TFolderNode;
using platform::TColor;

std::vector<TSectionInfo> SectionInfos;

namespace {

const QString kFilesInThisFolder = QStringLiteral("Files in this folder");
const QString kOtherSmallerFolders = QStringLiteral("Other smaller folders");
const QString kOtherSmallerFiles = QStringLiteral("Other smaller files");
const QString kThisFolderEmpty = QStringLiteral("This folder (0 bytes)");

// Bytes of the items too small for a section of their own.
struct TRemainder {
    int64_t Size = 0;
    int64_t Wasted = 0;
};

// One build of the pie: each item becomes a section with its section info when its angle is
// above its threshold, or goes into a remainder.
class TPieBuilder {
public:
    TPieBuilder(THPieChart& chart, int64_t total)
        : chart_(chart), total_(total), includeWasted_(optIncludeWastedInformation->Value) {}

    struct Item {
        QString name;
        QString parentPath;  // empty for a group: its path is its name
        TColor color = 0;
        TItemKind kind = TItemKind::Other;
        TFolderNode* node = nullptr;
        double threshold = 0;
        int64_t size = 0;
        int64_t wasted = 0;
    };

    // remainder nullptr: an item too small is dropped.
    void Add(const Item& item, TRemainder* remainder) {
        const int64_t value = item.size + (includeWasted_ ? item.wasted : 0);
        const double angle = AngleOf(value, total_);
        if (!(angle > item.threshold)) {  // an item exactly at its threshold is grouped too
            if (remainder) {
                remainder->Size += item.size;
                remainder->Wasted += item.wasted;
            }
            return;
        }
        const int cursor = !item.node || item.name == kFilesInThisFolder ? crPieDefault : crZoomIn;
        SectionInfos.push_back({item.node, item.size, item.wasted, cursor, item.name,
                                engine::AddBackslash(item.parentPath) + item.name, item.kind});
        // Section angles are single-precision values; the label used the exact one.
        TPieSection* section =
            chart_.AddSection(LabelOf(item, angle), item.color, double(float(angle)));
        section->Data = item.node;
        section->Tag = int32_t(SectionInfos.size() - 1);
    }

    // A group: no threshold, and its path is its name.
    void AddGroup(const QString& name, TColor color, TFolderNode* node, int64_t size,
                  int64_t wasted, TRemainder* remainder) {
        Add({name, {}, color, TItemKind::Other, node, 0, size, wasted}, remainder);
    }

private:
    QString LabelOf(const Item& item, double angle) const {
        QString suffix;
        if (optShowPercentInPie->Value == 1) {
            suffix = QString::number(int64_t(std::trunc(angle * 100 / 360))) + u'%';
        } else if (optShowPercentInPie->Value == 2) {
            suffix = engine::SizeText(item.size + (includeWasted_ ? item.wasted : 0));
        }
        return suffix.isEmpty() ? item.name : item.name + " (" + suffix + ")";
    }

    THPieChart& chart_;
    int64_t total_;
    bool includeWasted_;
};

// The cluster size the views show the wasted space at: the drive's own or a reference size. A
// file's slack is taken at it too, as the folder's totals are, so that the sections of the files
// add up to what the pie's total counts for them.
int64_t ShownClusterSize(int32_t driveClusterSize) {
    const int choice = engine::ClusterSizeChoice;
    return choice >= 1 && choice <= engine::kReferenceClusterSizeCount
               ? engine::ReferenceClusterSizes[size_t(choice - 1)]
               : driveClusterSize;
}

// Each file of the folder as an item, then the files too small for their own section together.
// A folder that cannot be listed gives only the group, from whatever was read.
void AddFileItems(TPieBuilder& pie, const QString& path, int64_t clusterSize) {
    TRemainder files;
    platform::FindHandle find;
    platform::FindData data;
    for (bool found = find.FindFirst(engine::AddBackslash(path) + "*.*", data); found;
         found = find.FindNext(data)) {
        if (data.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) continue;
        pie.Add({data.name, path, AppColors[5], TItemKind::File, nullptr, MinFileSectionAngle,
                 data.size, engine::Slack(data.size, clusterSize)},
                &files);
    }
    find.Close();
    pie.AddGroup(kOtherSmallerFiles, AppColors[6], nullptr, files.Size, files.Wasted, nullptr);
}

}  // namespace

void TMainForm::CreatePieChart() {
    SectionInfos.clear();
    TPaintBox* box = pagePieChart->FolderPie;
    PieBuffer = std::make_unique<platform::Bitmap>(box->width(), box->height());
    PieChart = std::make_unique<THPieChart>(&PieBuffer->Canvas(), box->width(), box->height());
    PieDisplay = std::make_unique<platform::WidgetCanvas>(box);
    PieChart->Display = PieDisplay.get();
    PieChart->Buffer = PieBuffer.get();
    PieChart->CloseLastSection = true;
    PieChart->MinTextAngle = MinTextSectionAngle;
    ApplyColors();

    platform::Connect(box, &TPaintBox::Paint, this,
                      [this](QPaintEvent* event) { FolderPiePaint(event->rect()); });
    platform::Connect(box, &TPaintBox::MouseMove, this, [this](QMouseEvent* event) {
        FolderPieMouseMove(event->position().toPoint());
    });
    platform::Connect(box, &TPaintBox::MouseDown, this, [this](QMouseEvent* event) {
        FolderPieMouseDown(event->button(), event->position().toPoint());
    });
    platform::Connect(box, &TPaintBox::Resized, this, &TMainForm::FolderPieResize);
    platform::Connect(pagePieChart, &TPieChartPage::imgIconClick, this, &TMainForm::imgIconClick);
}

void TMainForm::ApplyColors() {
    PieChart->BeginUpdate();
    PieChart->SetLabelColors(AppColors[7], AppColors[8], AppColors[9], AppColors[10], AppColors[11],
                             AppColors[12]);
    PieChart->SetColors(AppColors[0], AppColors[1], AppColors[2]);
    PieChart->EndUpdate();
    if (SectionSizeBox) SectionSizeBox->ApplyColors();
}

void TMainForm::PieOptionsChanged() {
    PieChart->MinTextAngle = MinTextSectionAngle;
    ApplyColors();
    RefreshPie();
    toolShowWasted->setChecked(optIncludeWastedInformation->Value);
    toolShowFiles->setChecked(optShowFileNames->Value);
}

// --- presenting ---

void TMainForm::PresentPie() {
    if (optPieSectionSizeWindow->Value)
        ShowSectionSizeWindow();
    else
        HideSectionSizeWindow();
    const bool build = PieShownFor != CurrentPath;
    LayOutPie(!build);  // a build draws the whole pie anyway
    if (build) BuildPie(CurrentNode);
}

void TMainForm::FolderPieResize() {
    if (CurrentPage == PagePieChart) LayOutPie(true);
}

void TMainForm::LayOutPie(bool draw) {
    const QSize size = pagePieChart->FolderPie->size();
    // A window not shown yet has no final sizes: the chart keeps its geometry until it is.
    if (isVisible()) PieChart->SetSize(size.width(), size.height());
    PieBuffer->SetSize(size.width(), size.height());
    // Inside a build the build's own end draws; counting down here would unlock it early.
    if (draw && PieChart->UpdateCount() == 0) PieChart->EndUpdate();
}

void TMainForm::FolderPiePaint(const QRect& rect) {
    QPainter(pagePieChart->FolderPie).drawImage(rect, PieBuffer->Image(), rect);
}

void TMainForm::BuildPie(TFolderNode* node) {
    const engine::TFolderSize* record = node ? node->Record() : nullptr;
    if (!record) return;
    const QString path = engine::NodePath(node);
    HoveredIndex = -1;
    PieChart->HotIndex = -1;
    PieChart->BeginUpdate();
    const auto finish = qScopeGuard([this] {
        PieChart->EndUpdate();
        PieShownFor = CurrentPath;
    });
    SectionInfos.clear();
    PieChart->Clear();

    const int64_t treeWasted = engine::ShownTreeWasted(*record);
    SectionInfos.push_back({node, record->TreeSize, treeWasted,
                            node->Parent() ? crZoomOut : crPieDefault, node->DisplayName(), path,
                            TItemKind::Folder});
    // The item of the last pie must not outlive its nodes in the right-click menu.
    ContextItem = SectionInfos.front();
    UpdatePieHeader(path, TItemKind::Folder, treeWasted, record->TreeSize);

    const int64_t total = record->TreeSize + (optIncludeWastedInformation->Value ? treeWasted : 0);
    TPieBuilder pie(*PieChart, total);
    if (total == 0) {
        pie.AddGroup(kThisFolderEmpty, AppColors[4], nullptr, 0, 0, nullptr);
        return;
    }
    TRemainder folders;
    for (int i = 0; i < node->ChildCount(); ++i) {
        TFolderNode* child = node->Child(i);
        const engine::TFolderSize* r = child->Record();
        pie.Add({child->DisplayName(), path, AppColors[2], TItemKind::Folder, child,
                 MinFolderSectionAngle, r ? r->TreeSize : 0, r ? engine::ShownTreeWasted(*r) : 0},
                &folders);
    }
    if (optShowFileNames->Value) {
        AddFileItems(pie, path, ShownClusterSize(CurrentClusterSize));
    } else {
        pie.AddGroup(kFilesInThisFolder, AppColors[3], node, record->FilesSize,
                     engine::ShownFilesWasted(*record), &folders);
    }
    pie.AddGroup(kOtherSmallerFolders, AppColors[4], nullptr, folders.Size, folders.Wasted,
                 nullptr);
    PieChart->Sort(!optSortAscending->Value);
}

void TMainForm::UpdatePieHeader(const QString& path, TItemKind kind, int64_t wasted, int64_t size) {
    int64_t shown = size;
    if (optIncludeWastedInformation->Value && wasted != -1 && size != -1) shown += wasted;
    if (SectionSizeBox)
        SectionSizeBox->SetWasted(PercentOf(wasted, size + wasted), engine::SizeText(wasted));
    switch (kind) {
        case TItemKind::File:
            ShowStatusText(0, "File " + path);
            break;
        case TItemKind::Folder:
            ShowStatusText(0, "Folder " + path);
            break;
        case TItemKind::Other:
            ShowStatusText(0, path);
            break;
    }
    TPieChartPage& page = *pagePieChart;
    page.txtWebFolderSize->setText(shown >= 0 ? engine::SizeText(shown) : QString());
    page.gaugeWebSection->SetProgress(PercentOf(shown, DriveTotal));

    QPixmap icon(32, 32);
    icon.fill(platform::ColorToQColor(platform::clWindow));
    QPainter painter(&icon);
    if (kind == TItemKind::Other) {
        page.txtWebFolderType->clear();
        page.txtWebFolderName->setText(path);
        painter.drawPixmap(
            0, 0, page.GroupImage(path == kOtherSmallerFolders ? giOtherFolders : giOtherItems));
    } else {
        if (headerItem_.path != path) {
            const platform::IconSize large = platform::IconSize::Large;
            platform::ShellIconList& icons = platform::ShellIconList::Instance();
            headerItem_ = {path, platform::ShellDisplayName(path),
                           engine::IsDriveRoot(path) ? QStringLiteral("Root Folder of Drive")
                                                     : platform::ShellTypeName(path),
                           icons.Pixmap(icons.IndexOf(path), large)};
        }
        page.txtWebFolderName->setText(headerItem_.name);
        page.txtWebFolderType->setText(headerItem_.type);
        // An icon the theme has only smaller than 32 pixels stands in the middle of the picture.
        const QSize room = QSize(32, 32) - headerItem_.icon.deviceIndependentSize().toSize();
        painter.drawPixmap(std::max(0, room.width() / 2), std::max(0, room.height() / 2),
                           headerItem_.icon);
    }
    painter.end();
    page.imgIcon->setPixmap(icon);
}

// --- the pointer over the pie ---

void TMainForm::FolderPieMouseMove(const QPoint& pos) {
    if (ThePages->currentWidget() == pageNotScanned) return;
    const int i = PieChart->SectionAt(pos.x(), pos.y());
    if (i != HoveredIndex) {
        PieChart->DrawLabel(HoveredIndex, false);
        HoveredIndex = i;
        PieChart->HotIndex = i;
        PieChart->DrawLabel(i, true);
    }
    const int info = i >= 0 ? PieChart->GetSection(i)->Tag : 0;
    if (info < 0 || size_t(info) >= SectionInfos.size()) return;
    const TSectionInfo& item = SectionInfos[size_t(info)];
    SetControlCursor(pagePieChart->FolderPie, pagePieChart->Cursor(item.Cursor), true);
    ContextItem = item;
    UpdatePieHeader(item.Path, item.Kind, item.Wasted, item.Size);
}

void TMainForm::FolderPieMouseDown(Qt::MouseButton button, const QPoint& pos) {
    if (ThePages->currentWidget() == pageNotScanned) return;
    if (button == Qt::RightButton) {
        if (ContextItem.Kind == TItemKind::Other || ContextItem.Path.isEmpty()) return;
        const TSectionInfo item = ContextItem;  // the menu's consequences rebuild the pie
        // A file leaves its ancestors' totals with its slack at the drive's own cluster size,
        // which is what they hold.
        const int64_t wasted = item.Kind == TItemKind::File
                                   ? engine::Slack(item.Size, CurrentClusterSize)
                                   : item.Wasted;
        ShowFolderItemMenu(item.Path, item.Kind == TItemKind::Folder, item.Size, wasted,
                           pagePieChart->FolderPie->mapToGlobal(pos));
        return;
    }
    if (button != Qt::LeftButton) return;

    if (const TPieSection* section = PieChart->GetSection(PieChart->SectionAt(pos.x(), pos.y()))) {
        auto* node = static_cast<TFolderNode*>(section->Data);
        if (!node) return;
        const QString target = engine::NodePath(node);
        SelectNode(node);
        // Selecting a folder that has vanished removes it from the tree: nothing to expand then.
        if (optAutoExpand->Value && CurrentNode && CurrentPath == target)
            FolderTree->expand(treeModel_->IndexOf(CurrentNode));
        return;
    }
    TFolderNode* current = CurrentNode;
    if (!current || !current->Parent()) return;
    TFolderNode* parent = current->Parent();
    PresentNode(parent);
    if (optAutoCollapse->Value) CollapseWithDescendants(current);
    SelectNode(parent);
}

void TMainForm::imgIconClick() {
    if (!CurrentPath.isEmpty()) ShowItemProperties(CurrentPath, this);
}

// --- the section size window ---

void TMainForm::ShowSectionSizeWindow() {
    if (!SectionSizeBox) return;
    if (!sectionSizeClosed_)
        sectionSizeClosed_ = platform::Connect(SectionSizeBox, &TSectionSizeBox::Closed, this,
                                               &TMainForm::SectionSizeWindowClosed);
    if (!SectionSizeBox->isVisible()) SectionSizeBox->show();
}

void TMainForm::SectionSizeWindowClosed() {
    optPieSectionSizeWindow->Value = false;
    cmdViewPieSectionSizeWindow->setChecked(false);
}
