#include "views/FolderInfoPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/Helpers.h"
#include "controls/ItemProp.h"
#include "desktop/Guarded.h"
#include "desktop/Shell.h"
#include "draw/SystemColors.h"
#include "engine/FolderTree.h"
#include "engine/Ncdu.h"
#include "engine/Scanner.h"
#include "engine/TextForms.h"
#include "views/PageParts.h"

namespace {

// One block of four captioned values; the value labels are handed back in caption order.
QGroupBox* TotalsBlock(const QString& title, QLabel** values[4], const char* const names[4]) {
    auto* box = new QGroupBox(title);
    auto* grid = new QGridLayout(box);
    const char* captions[] = {"Size:", "Allocated:", "Wasted:", "Objects:"};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(captions[i]), i, 0);
        *values[i] = new QLabel;
        (*values[i])->setObjectName(QLatin1String(names[i]));
        (*values[i])->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        (*values[i])->setMinimumWidth(110);
        grid->addWidget(*values[i], i, 1);
    }
    return box;
}

}  // namespace

TFolderInfoPage::TFolderInfoPage(QWidget* parent) : TViewPage(parent) {
    Q_INIT_RESOURCE(pie);
    auto* layout = new QVBoxLayout(this);

    auto* header = new QHBoxLayout;
    imgWebFolderInfo_ = new QLabel;
    imgWebFolderInfo_->setObjectName("imgWebFolderInfo");
    imgWebFolderInfo_->setFixedSize(32, 32);
    imgWebFolderInfo_->setCursor(Qt::PointingHandCursor);
    imgWebFolderInfo_->setToolTip("Click to display item properties");
    imgWebFolderInfo_->installEventFilter(this);
    auto* names = new QVBoxLayout;
    txtWebFolderInfoType_ = new QLabel;
    txtWebFolderInfoType_->setObjectName("txtWebFolderInfoType");
    txtWebFolderInfoPath_ = new TPathLabel;
    txtWebFolderInfoPath_->setObjectName("txtWebFolderInfoPath");
    names->addWidget(txtWebFolderInfoType_);
    names->addWidget(txtWebFolderInfoPath_);
    imgTreeBarChart_ = new QLabel;
    imgTreeBarChart_->setObjectName("imgTreeBarChart");
    imgTreeBarChart_->setPixmap(QPixmap(QStringLiteral(":/pages/barchart.png")));
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
    const char* const treeNames[4] = {"txtWebTreeInfoSize", "txtWebTreeInfoAllocated",
                                      "txtWebTreeInfoWasted", "txtWebTreeInfoObjects"};
    const char* const ownNames[4] = {"txtWebFolderInfoSize", "txtWebFolderInfoAllocated",
                                     "txtWebFolderInfoWasted", "txtWebFolderInfoObjects"};
    blocks->addWidget(TotalsBlock("Tree (Folder + Subfolders)", tree, treeNames));
    blocks->addWidget(TotalsBlock("Folder", own, ownNames));
    layout->addWidget(panWebFolderInfoSizeSupport2_, 0, Qt::AlignHCenter);

    gridFolderInfo_ = new QTableWidget(11, 2);
    gridFolderInfo_->setObjectName("gridFolderInfo");
    gridFolderInfo_->horizontalHeader()->hide();
    gridFolderInfo_->verticalHeader()->hide();
    gridFolderInfo_->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridFolderInfo_->setSelectionMode(QAbstractItemView::SingleSelection);
    gridFolderInfo_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridFolderInfo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // 110 pixels, or what the longest caption needs in the font at hand.
    int captionWidth = 110;
    for (const char* caption : {"Last access date", "Last change date", "Compressed files"})
        captionWidth = std::max(captionWidth, fontMetrics().horizontalAdvance(caption) + 12);
    gridFolderInfo_->setColumnWidth(0, captionWidth);
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
    txtImportedFrom_ = new QLabel;
    txtImportedFrom_->setObjectName("txtImportedFrom");
    txtImportedFrom_->setWordWrap(true);
    txtImportedFrom_->hide();
    layout->addWidget(txtImportedFrom_);
}

bool TFolderInfoPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == imgWebFolderInfo_ && !presentation_.Path.isEmpty())
            desktop::Guarded([this] { ShowItemProperties(presentation_.Path, this); });
        if (watched == imgTreeBarChart_) emit imgTreeBarChartClick();
    }
    return TViewPage::eventFilter(watched, event);
}

void TFolderInfoPage::Present(const TPresentation& presentation) {
    presentation_ = presentation;
    const engine::TFolderSize* record = presentation.Node ? presentation.Node->Record() : nullptr;
    if (shownFor_ == presentation.Path || !record) return;
    shownFor_ = presentation.Path;
    const QString& path = presentation.Path;

    desktop::ShellIconList& icons = desktop::ShellIconList::Instance();
    const TShellNames names = ShellNamesOf(path);
    const QString& displayName = names.name;
    txtWebFolderInfoType_->setText(names.type);
    txtWebFolderInfoPath_->SetPath(engine::IsDriveRoot(path) ? displayName : path);
    QPixmap icon(32, 32);
    icon.fill(draw::ColorToQColor(draw::clWindow));
    QPainter(&icon).drawPixmap(0, 0,
                               icons.Pixmap(ShellIconIndexOf(path), desktop::IconSize::Large));
    imgWebFolderInfo_->setPixmap(icon);

    const engine::TImportFacts* facts = engine::ImportFactsOf(presentation.Node);
    const bool imported = facts != nullptr;
    txtImportedFrom_->setText(imported ? engine::ImportDescription(*facts) : QString());
    txtImportedFrom_->setVisible(imported);
    FillGrid(displayName, imported ? engine::ImportedEntryFacts(path) : engine::LookUpEntry(path),
             *record);
    FillBlock({txtWebTreeInfoSize_, txtWebTreeInfoAllocated_, txtWebTreeInfoWasted_,
               txtWebTreeInfoObjects_},
              record->TreeSize, engine::ShownTreeWasted(*record), record->TreeFileCount,
              record->TreeFolderCount);
    FillBlock({txtWebFolderInfoSize_, txtWebFolderInfoAllocated_, txtWebFolderInfoWasted_,
               txtWebFolderInfoObjects_},
              record->FilesSize, engine::ShownFilesWasted(*record), record->FileCount,
              record->SubfolderCount);
}

TFolderInfoPage::TTexts TFolderInfoPage::Texts() const {
    TTexts texts;
    const QLabel* tree[4] = {txtWebTreeInfoSize_, txtWebTreeInfoAllocated_, txtWebTreeInfoWasted_,
                             txtWebTreeInfoObjects_};
    const QLabel* own[4] = {txtWebFolderInfoSize_, txtWebFolderInfoAllocated_,
                            txtWebFolderInfoWasted_, txtWebFolderInfoObjects_};
    for (size_t i = 0; i < 4; ++i) {
        texts.Tree[i] = {tree[i]->text(), tree[i]->toolTip()};
        texts.Folder[i] = {own[i]->text(), own[i]->toolTip()};
    }
    for (int row = 0; row < 11; ++row)
        texts.Grid[size_t(row)] = {gridFolderInfo_->item(row, 0)->text(),
                                   gridFolderInfo_->item(row, 1)->text()};
    return texts;
}

void TFolderInfoPage::Forget() {
    shownFor_.clear();
}

void TFolderInfoPage::NodeLeaving(const engine::TFolderNode* gone) {
    if (engine::IsInSubtree(presentation_.Node, gone)) presentation_ = {};
}

void TFolderInfoPage::FillGrid(const QString& displayName, const engine::TEntryFacts& entry,
                               const engine::TFolderSize& r) {
    auto timeText = [](platform::FileTime time) {
        return engine::IsZeroTime(time) ? QStringLiteral("(unknown)") : engine::FileTimeText(time);
    };
    // Rows 7 to 10 speak of every file below: the record's attributes are their union.
    auto contains = [&r](uint32_t bit, const char* what) {
        return QString((r.Attributes & bit) ? "The folder contains " : "No ") + what +
               QLatin1String(" files");
    };
    const QString values[11] = {
        displayName,
        !entry.Found                ? QString()
        : entry.ShortName.isEmpty() ? displayName.toUpper()
                                    : entry.ShortName,
        timeText(r.LastAccessTime),
        timeText(r.LastWriteTime),
        entry.Found ? timeText(entry.CreationTime) : QStringLiteral("(unknown)"),
        entry.Found ? AttributeText(entry.Attributes) : QString(),
        QString(),
        contains(platform::FILE_ATTRIBUTE_READONLY, "Read-Only"),
        contains(platform::FILE_ATTRIBUTE_HIDDEN, "Hidden"),
        contains(platform::FILE_ATTRIBUTE_SYSTEM, "System"),
        contains(platform::FILE_ATTRIBUTE_COMPRESSED, "Compressed"),
    };
    for (int row = 0; row < 11; ++row) gridFolderInfo_->item(row, 1)->setText(values[row]);
}

void TFolderInfoPage::FillBlock(const std::array<QLabel*, 4>& labels, int64_t size, int64_t wasted,
                                int32_t files, int32_t folders) {
    const int64_t bytes[3] = {size, size + wasted, wasted};
    for (int i = 0; i < 3; ++i) {
        labels[i]->setText(engine::SizeText(bytes[i]));
        labels[i]->setToolTip(engine::ExactBytesText(bytes[i]));
    }
    labels[3]->setText(engine::CountText(int64_t(files) + folders));
    labels[3]->setToolTip(engine::CountText(files) + " file(s) and " + engine::CountText(folders) +
                          " subfolder(s)");
}
