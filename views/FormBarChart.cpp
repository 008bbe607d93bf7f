#include "views/FormBarChart.h"

#include <QAbstractItemDelegate>
#include <QAbstractListModel>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "config/AppConfiguration.h"
#include "controls/WindowPlacement.h"
#include "desktop/Guarded.h"
#include "draw/SystemColors.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"

using engine::TFolderNode;

TBarChartBox* BarChartBox = nullptr;

namespace {

const QString kSection = QStringLiteral("BarChartBox");
constexpr int kRowHeight = 24;
constexpr int kBarInset = 4;   // above and below the bar, inside the row
constexpr int kTextGap = 4;    // between the "Graph" section and the text
constexpr int kTextRight = 4;  // kept free at the right of a shortened path

bool WastedIncluded() {
    return optIncludeWastedInformation && optIncludeWastedInformation->Value;
}

bool OnDisk() {
    return optMeasureSpaceOnDisk && optMeasureSpaceOnDisk->Value;
}

// What a folder's bar measures: its length (and wasted space when the sizes include it), or
// the space its files take on the disk, which holds their slack already.
int64_t TreeValue(const engine::TFolderSize& r) {
    if (OnDisk()) return r.TreeOnDisk;
    return r.TreeSize + (WastedIncluded() ? engine::ShownTreeWasted(r) : 0);
}
int64_t FilesValue(const engine::TFolderSize& r) {
    if (OnDisk()) return r.FilesOnDisk;
    return r.FilesSize + (WastedIncluded() ? engine::ShownFilesWasted(r) : 0);
}

// How deep below its drive root a node lies; the root itself is level 0.
int LevelOf(const TFolderNode* node) {
    int level = 0;
    for (const TFolderNode* up = node->Parent(); up; up = up->Parent()) ++level;
    return level;
}

}  // namespace

// The rows: the chart's nodes in tree order. Each row's text is empty; the box draws them.
class TBarListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void SetNodes(std::vector<TFolderNode*> nodes) {
        beginResetModel();
        nodes_ = std::move(nodes);
        endResetModel();
    }
    TFolderNode* Node(int row) const {
        return row >= 0 && row < int(nodes_.size()) ? nodes_[size_t(row)] : nullptr;
    }
    int Count() const { return int(nodes_.size()); }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : Count();
    }
    QVariant data(const QModelIndex&, int) const override { return {}; }

private:
    std::vector<TFolderNode*> nodes_;
};

namespace {

// Hands the drawing of each row to the box, at the fixed row height.
class TBarListDelegate : public QAbstractItemDelegate {
public:
    TBarListDelegate(const TBarChartBox& box, QObject* parent)
        : QAbstractItemDelegate(parent), box_(box) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        desktop::Guarded([&] {
            painter->save();
            box_.BarListDrawItem(*painter, option, index.row());
            painter->restore();
        });
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), kRowHeight};
    }

private:
    const TBarChartBox& box_;
};

}  // namespace

TBarChartBox::TBarChartBox(QWidget* owner) : QDialog(owner, Qt::Tool) {
    setObjectName("BarChartBox");
    setWindowTitle("Tree Bar Chart");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* panTop = new QWidget;
    auto* top = new QHBoxLayout(panTop);
    auto* checks = new QVBoxLayout;
    checks->setSpacing(2);
    chkIncludeSubfolders = new QCheckBox("Include subfolder sizes");
    chkIncludeSubfolders->setObjectName("chkIncludeSubfolders");
    chkShowFullPath = new QCheckBox("Show folder full path");
    chkShowFullPath->setObjectName("chkShowFullPath");
    checks->addWidget(chkIncludeSubfolders);
    checks->addWidget(chkShowFullPath);
    top->addLayout(checks);
    auto* txtHint = new QLabel("Double-click a folder to open it in Quillon Pro ");
    txtHint->setAlignment(Qt::AlignCenter);
    // A narrow window cuts the hint rather than the check boxes.
    txtHint->setMinimumWidth(1);
    txtHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addWidget(txtHint, 1);
    layout->addWidget(panTop);

    // A header without a list of its own: the list below draws its two columns.
    auto* sections = new QStandardItemModel(0, 2, this);
    sections->setHorizontalHeaderLabels({"Graph", "Folder"});
    TheHeader = new QHeaderView(Qt::Horizontal);
    TheHeader->setObjectName("TheHeader");
    TheHeader->setModel(sections);
    TheHeader->setSectionsClickable(false);
    TheHeader->setSectionsMovable(false);
    TheHeader->setStretchLastSection(false);
    TheHeader->setSectionResizeMode(0, QHeaderView::Interactive);
    TheHeader->setSectionResizeMode(1, QHeaderView::Fixed);
    TheHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // As high as its captions: a scroll area's least height would be far more.
    TheHeader->setFixedHeight(TheHeader->sizeHint().height());
    TheHeader->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    TheHeader->installEventFilter(this);
    layout->addWidget(TheHeader);

    model_ = new TBarListModel(this);
    BarList = new QListView;
    BarList->setObjectName("BarList");
    BarList->setModel(model_);
    BarList->setItemDelegate(new TBarListDelegate(*this, BarList));
    // Every row is as high as the first: the list lays out and draws only what is in view.
    BarList->setUniformItemSizes(true);
    BarList->setSelectionMode(QAbstractItemView::SingleSelection);
    BarList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    BarList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    BarList->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Without a frame the list's columns line up with the header's sections.
    BarList->setFrameShape(QFrame::NoFrame);
    BarList->installEventFilter(this);
    layout->addWidget(BarList, 1);

    TheStatusBar = new QStatusBar;
    TheStatusBar->setObjectName("TheStatusBar");
    panSize = new QLabel;
    panSize->setObjectName("panSize");
    panSize->setFixedWidth(fontMetrics().horizontalAdvance("9,999.99 MB") + 16);
    panPath = new QLabel;
    panPath->setObjectName("panPath");
    panPath->setMinimumWidth(1);
    panPath->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // The stretch keeps panel 1 as wide as the bar leaves it.
    TheStatusBar->addWidget(panSize);
    TheStatusBar->addWidget(panPath, 1);
    layout->addWidget(TheStatusBar);

    for (QWidget* control :
         {static_cast<QWidget*>(chkIncludeSubfolders), static_cast<QWidget*>(chkShowFullPath)})
        control->installEventFilter(this);
    installEventFilter(this);

    resize(509, 300);
    RestoreFormPlacement(this, AppRegistryKey, kSection);
    layout->activate();
    int graphWidth = TheHeader->width() / 2;
    bool includeSubfolders = true;
    bool showFullPath = true;
    try {
        graphWidth = RegReadInteger(AppRegistryKey, kSection, "GraphWidth", graphWidth);
        includeSubfolders = RegReadBool(AppRegistryKey, kSection, "IncludeSubfolders", true);
        showFullPath = RegReadBool(AppRegistryKey, kSection, "ShowFullPath", true);
    } catch (const ERegistryException&) {
        // What cannot be read keeps its default.
    }
    TheHeader->resizeSection(0, std::max(graphWidth, TheHeader->minimumSectionSize()));
    chkIncludeSubfolders->setChecked(includeSubfolders);
    chkShowFullPath->setChecked(showFullPath);
    TheHeaderSectionResize();

    desktop::Connect(chkIncludeSubfolders, &QCheckBox::toggled, this,
                     &TBarChartBox::chkIncludeSubfoldersClick);
    desktop::Connect(chkShowFullPath, &QCheckBox::toggled, this,
                     &TBarChartBox::chkIncludeSubfoldersClick);
    desktop::Connect(TheHeader, &QHeaderView::sectionResized, this,
                     &TBarChartBox::TheHeaderSectionResize);
    desktop::Connect(BarList->selectionModel(), &QItemSelectionModel::currentChanged, this,
                     &TBarChartBox::BarListClick);
    desktop::Connect(BarList, &QAbstractItemView::clicked, this, &TBarChartBox::BarListClick);
    desktop::Connect(BarList, &QAbstractItemView::doubleClicked, this,
                     &TBarChartBox::BarListDblClick);
}

TBarChartBox::~TBarChartBox() {
    // Values that cannot be written are simply not kept.
    if (shown_) (void)SaveFormPlacement(this, AppRegistryKey, kSection);
    try {
        RegWriteInteger(AppRegistryKey, kSection, "GraphWidth", GraphWidth());
        RegWriteBool(AppRegistryKey, kSection, "IncludeSubfolders",
                     chkIncludeSubfolders->isChecked());
        RegWriteBool(AppRegistryKey, kSection, "ShowFullPath", chkShowFullPath->isChecked());
    } catch (const ERegistryException&) {
    }
}

void TBarChartBox::Fill(TFolderNode* root) {
    resultPath_.clear();
    const engine::TFolderSize* record = root ? root->Record() : nullptr;
    base_ = record ? TreeValue(*record) : 0;

    std::vector<TFolderNode*> nodes;
    if (root) {
        if (record) nodes.reserve(size_t(record->TreeFolderCount) + 1);
        std::vector<TFolderNode*> pending{root};
        while (!pending.empty()) {
            TFolderNode* node = pending.back();
            pending.pop_back();
            nodes.push_back(node);
            for (int row = node->ChildCount() - 1; row >= 0; --row)
                pending.push_back(node->Child(row));
        }
    }
    model_->SetNodes(std::move(nodes));

    setWindowTitle("Tree Bar Chart - " + engine::NodePath(root));
    panSize->clear();
    panPath->clear();
    BarList->setFocus();  // the arrow keys move through the rows at once
    if (model_->Count() > 0) {
        BarList->setCurrentIndex(model_->index(0));
        BarList->scrollToTop();
        BarListClick();
    }
}

int TBarChartBox::RowCount() const {
    return model_->Count();
}

int64_t TBarChartBox::RowValue(int row) const {
    const TFolderNode* node = model_->Node(row);
    const engine::TFolderSize* record = node ? node->Record() : nullptr;
    if (!record) return 0;
    return chkIncludeSubfolders->isChecked() ? TreeValue(*record) : FilesValue(*record);
}

int TBarChartBox::BarLength(int row) const {
    if (base_ == 0) return 0;
    // The product stays exact: a section is far narrower than 2^31 pixels.
    return int(int64_t(GraphWidth()) * RowValue(row) / base_);
}

int TBarChartBox::GraphWidth() const {
    return TheHeader->sectionSize(0);
}

QString TBarChartBox::RowText(int row) const {
    const TFolderNode* node = model_->Node(row);
    if (!node) return {};
    if (!chkShowFullPath->isChecked())
        return QString(4 * LevelOf(node), u' ') + node->DisplayName();
    // The room the "Folder" column has in view: the list may be narrower than the header.
    const int room =
        std::min(TheHeader->sectionSize(1), BarList->viewport()->width() - GraphWidth());
    const QFontMetrics metrics(BarList->font());
    return engine::ShortenedPath(
        engine::NodePath(node), std::max(0, room - kTextGap - kTextRight),
        [&metrics](const QString& text) { return metrics.horizontalAdvance(text); });
}

void TBarChartBox::BarListDrawItem(QPainter& painter, const QStyleOptionViewItem& option,
                                   int row) const {
    const QRect& r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    painter.fillRect(r,
                     option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base));

    const int length = BarLength(row);
    if (length > 0) {
        // An outlined rectangle as the system draws one: the outline inside its edges.
        const QRect bar(r.left(), r.top() + kBarInset, length, kRowHeight - 2 * kBarInset);
        painter.fillRect(bar, Qt::black);
        painter.fillRect(bar.adjusted(1, 1, -1, -1), draw::ColorToQColor(AppColors[17]));
    }

    const QFontMetrics metrics(option.font);
    painter.setFont(option.font);
    painter.setPen(
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const int x = r.left() + GraphWidth() + kTextGap;
    const int y = r.top() + (kRowHeight - metrics.height()) / 2;
    painter.drawText(QRect(x, y, std::max(0, r.right() + 1 - x), metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, RowText(row));
}

void TBarChartBox::BarListClick() {
    const QModelIndex current = BarList->currentIndex();
    if (current.isValid()) ShowRow(current.row());
}

void TBarChartBox::ShowRow(int row) {
    panSize->setText(engine::SizeText(RowValue(row)));
    const QString path = engine::NodePath(model_->Node(row));
    panPath->setText(path);
    panPath->setToolTip(path);
}

void TBarChartBox::BarListDblClick() {
    resultPath_ = panPath->text();
    accept();
}

bool TBarChartBox::FormKeyPress(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            resultPath_ = panPath->text();
            accept();
            return true;
        case Qt::Key_Escape:
            reject();
            return true;
        default:
            return false;
    }
}

void TBarChartBox::chkIncludeSubfoldersClick() {
    BarList->viewport()->update();
    // The size in the status bar follows the rows it describes.
    BarListClick();
}

void TBarChartBox::TheHeaderSectionResize() {
    const QSignalBlocker quiet(TheHeader);
    TheHeader->resizeSection(1, std::max(0, TheHeader->width() - GraphWidth()));
    BarList->viewport()->update();
}

void TBarChartBox::done(int result) {
    QDialog::done(result);
    model_->SetNodes({});
}

bool TBarChartBox::eventFilter(QObject* watched, QEvent* event) {
    // The window sees the keys before its controls do.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (desktop::GuardedHandler([&] { return FormKeyPress(key); })) return true;
    } else if (watched == TheHeader && event->type() == QEvent::Resize) {
        desktop::Guarded([this] { TheHeaderSectionResize(); });
    }
    return QDialog::eventFilter(watched, event);
}

void TBarChartBox::showEvent(QShowEvent* event) {
    shown_ = true;
    QDialog::showEvent(event);
}
