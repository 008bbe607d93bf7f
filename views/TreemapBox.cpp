#include "views/TreemapBox.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "desktop/Guarded.h"
#include "engine/FileQueries.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"

namespace {

const QColor kFrame(64, 64, 64);
const QColor kSmall(190, 190, 190);
const QColor kSolid(150, 150, 150);
const QColor kBackground(255, 255, 255);
// Tiles this large get the cushion's light and shade; smaller ones are flat.
constexpr int kCushionSide = 6;

// A tile's pixels: from its rounded edges, so that neighbours neither overlap nor leave gaps.
QRect PixelsOf(const QRectF& rect) {
    const int left = qRound(rect.left()), top = qRound(rect.top());
    return {left, top, qRound(rect.right()) - left, qRound(rect.bottom()) - top};
}

QColor FillOf(const TTreemapTile& tile) {
    switch (tile.Kind) {
        case TTreemapTile::TKind::Folder:
            return kFrame;
        case TTreemapTile::TKind::File:
            return CategoryColor(tile.Category);
        case TTreemapTile::TKind::Small:
            return kSmall;
        default:
            return kSolid;
    }
}

QString TypeText(const TTreemapTile& tile) {
    const engine::TFileStore* store = engine::FileStoreOf(tile.Folder);
    if (tile.Kind != TTreemapTile::TKind::File || !store) return QStringLiteral("Folder");
    const QString extension = store->Extension(store->At(tile.File).Type);
    return engine::CategoryName(tile.Category) +
           (extension.isEmpty() ? QString() : QStringLiteral(" (.%1)").arg(extension));
}

}  // namespace

QColor CategoryColor(engine::TFileCategory category) {
    static const QColor kColors[] = {
        QColor(76, 175, 80),    // Images
        QColor(229, 57, 53),    // Videos
        QColor(255, 152, 0),    // Audio
        QColor(142, 68, 173),   // Archives
        QColor(30, 136, 229),   // Documents
        QColor(0, 150, 136),    // Code
        QColor(141, 110, 99),   // Packages
        QColor(158, 158, 158),  // Other
    };
    return kColors[int(category)];
}

void PaintTreemap(QImage& picture, const std::vector<TTreemapTile>& tiles) {
    picture.fill(kBackground);
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    for (const TTreemapTile& tile : tiles) {
        const QRect pixels = PixelsOf(tile.Rect);
        if (pixels.isEmpty()) continue;
        const QColor fill = FillOf(tile);
        if (tile.Kind == TTreemapTile::TKind::File && pixels.width() >= kCushionSide &&
            pixels.height() >= kCushionSide) {
            // Light from the top left, as a cushion: the tile's shape shows even among its kind.
            QLinearGradient cushion(pixels.topLeft(), pixels.bottomRight());
            cushion.setColorAt(0, fill.lighter(150));
            cushion.setColorAt(1, fill.darker(140));
            painter.fillRect(pixels, cushion);
        } else if (tile.Kind == TTreemapTile::TKind::Small) {
            painter.fillRect(pixels, fill);
            painter.fillRect(pixels, QBrush(fill.darker(125), Qt::Dense6Pattern));
        } else {
            painter.fillRect(pixels, fill);
        }
    }
}

QByteArray TreemapSvg(const std::vector<TTreemapTile>& tiles, const QSize& size) {
    QByteArray svg;
    svg += QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
               "viewBox=\"0 0 %1 %2\" shape-rendering=\"crispEdges\">\n<defs>\n")
               .arg(size.width())
               .arg(size.height())
               .toUtf8();
    for (int c = 0; c < engine::kFileCategoryCount; ++c) {
        const QColor color = CategoryColor(engine::TFileCategory(c));
        svg += QStringLiteral(
                   "<linearGradient id=\"c%1\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\">"
                   "<stop offset=\"0\" stop-color=\"%2\"/>"
                   "<stop offset=\"1\" stop-color=\"%3\"/></linearGradient>\n")
                   .arg(c)
                   .arg(color.lighter(150).name(), color.darker(140).name())
                   .toUtf8();
    }
    svg += "</defs>\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    for (const TTreemapTile& tile : tiles) {
        const QRect pixels = PixelsOf(tile.Rect);
        if (pixels.isEmpty()) continue;
        const QString fill = tile.Kind == TTreemapTile::TKind::File &&
                                     pixels.width() >= kCushionSide &&
                                     pixels.height() >= kCushionSide
                                 ? QStringLiteral("url(#c%1)").arg(int(tile.Category))
                                 : FillOf(tile).name();
        svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>\n")
                   .arg(pixels.x())
                   .arg(pixels.y())
                   .arg(pixels.width())
                   .arg(pixels.height())
                   .arg(fill)
                   .toUtf8();
    }
    svg += "</svg>\n";
    return svg;
}

// --- the view ---

TTreemapView::TTreemapView(TTreemapBox& box) : box_(box) {
    setMouseTracking(true);
    setMinimumSize(200, 150);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void TTreemapView::SetFolder(const engine::TFolderNode* folder, bool byOnDisk) {
    folder_ = folder;
    onDisk_ = byOnDisk;
    Rebuild();
}

void TTreemapView::Rebuild() {
    tiles_ = LayOutTreemap(folder_, QRectF(QPointF(0, 0), QSizeF(size())), onDisk_);
    picture_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    PaintTreemap(picture_, tiles_);
    update();
}

void TTreemapView::paintEvent(QPaintEvent*) {
    QPainter(this).drawImage(0, 0, picture_);
}

void TTreemapView::resizeEvent(QResizeEvent*) {
    if (folder_) Rebuild();
}

void TTreemapView::mouseMoveEvent(QMouseEvent* event) {
    desktop::Guarded([&] { box_.StatusLine->setText(box_.TextAt(event->position())); });
}

void TTreemapView::mousePressEvent(QMouseEvent* event) {
    desktop::Guarded([&] {
        box_.Clicked(TreemapTileAt(tiles_, event->position()), false,
                     event->globalPosition().toPoint(), event->button());
    });
}

void TTreemapView::mouseDoubleClickEvent(QMouseEvent* event) {
    desktop::Guarded([&] {
        box_.Clicked(TreemapTileAt(tiles_, event->position()), true,
                     event->globalPosition().toPoint(), event->button());
    });
}

// --- the window ---

TTreemapBox::TTreemapBox(QWidget* owner)
    : TFileWindow(QStringLiteral("Treemap"), QStringLiteral("TreemapBox"), owner) {
    resize(1000, 700);
    auto* top = new QHBoxLayout;
    btnUp = new QPushButton;
    btnUp->setObjectName("btnUp");
    btnUp->setFlat(true);
    btnUp->setToolTip(QStringLiteral("Zooms out to the folder above (Backspace)"));
    btnUp->setAutoDefault(false);
    btnCopy = new QPushButton(QStringLiteral("&Copy"));
    btnCopy->setObjectName("btnCopy");
    btnCopy->setAutoDefault(false);
    btnSave = new QPushButton(QStringLiteral("&Save As..."));
    btnSave->setObjectName("btnSave");
    btnSave->setAutoDefault(false);
    top->addWidget(btnUp, 1);
    top->addWidget(btnCopy);
    top->addWidget(btnSave);
    Layout->addLayout(top);
    View = new TTreemapView(*this);
    View->setObjectName("TreemapView");
    Layout->addWidget(View, 1);
    auto* legend = new QHBoxLayout;
    const auto swatch = [&](const QColor& color, const QString& text) {
        auto* box = new QLabel;
        box->setFixedSize(14, 14);
        box->setStyleSheet(
            QStringLiteral("background: %1; border: 1px solid #404040;").arg(color.name()));
        legend->addWidget(box);
        legend->addWidget(new QLabel(text));
        legend->addSpacing(8);
    };
    for (int c = 0; c < engine::kFileCategoryCount; ++c)
        swatch(CategoryColor(engine::TFileCategory(c)),
               engine::CategoryName(engine::TFileCategory(c)));
    swatch(kSmall, QStringLiteral("Smaller items"));
    legend->addStretch(1);
    Layout->addLayout(legend);
    Layout->addWidget(StatusLine);

    desktop::Connect(btnUp, &QPushButton::clicked, this, &TTreemapBox::ZoomOut);
    desktop::Connect(btnCopy, &QPushButton::clicked, this,
                     [this] { QApplication::clipboard()->setImage(Picture()); });
    desktop::Connect(btnSave, &QPushButton::clicked, this, [this] {
        if (save_ && shown_) save_(Picture(), Svg());
    });
}

void TTreemapBox::Fill(const engine::TFolderNode* root, bool byOnDisk) {
    Begin();
    root_ = shown_ = root;
    onDisk_ = byOnDisk;
    View->SetFolder(root, byOnDisk);
    ShowHeader();
    StatusLine->setText(engine::FileStoreOf(root)
                            ? QStringLiteral("Point at a tile to see what it is.")
                            : NotKeptText());
}

const std::vector<TTreemapTile>& TTreemapBox::Tiles() const {
    return View->Tiles();
}

void TTreemapBox::ZoomInto(const engine::TFolderNode* folder) {
    if (!folder || !folder->Record() || folder == shown_) return;
    shown_ = folder;
    View->SetFolder(folder, onDisk_);
    ShowHeader();
}

void TTreemapBox::ZoomOut() {
    if (shown_ && shown_->Parent()) ZoomInto(shown_->Parent());
}

QImage TTreemapBox::Picture() const {
    return View->Picture();
}

QByteArray TTreemapBox::Svg() const {
    return TreemapSvg(View->Tiles(), View->size());
}

QString TTreemapBox::TextAt(const QPointF& point) const {
    const int index = TreemapTileAt(View->Tiles(), point);
    if (index < 0) return {};
    const TTreemapTile& tile = View->Tiles()[size_t(index)];
    const QString size =
        engine::SizeText(tile.Size) + (onDisk_ ? QStringLiteral(" on disk") : QString());
    switch (tile.Kind) {
        case TTreemapTile::TKind::File:
            return QStringLiteral("%1 - %2 - %3")
                .arg(engine::VisibleName(engine::ProgramPathOfFile({tile.Folder, tile.File})), size,
                     TypeText(tile));
        case TTreemapTile::TKind::Small:
            return QStringLiteral("%1 - smaller items together - %2")
                .arg(engine::VisibleName(engine::NodePath(tile.Folder)), size);
        default:
            return QStringLiteral("%1 - %2 - Folder")
                .arg(engine::VisibleName(engine::NodePath(tile.Folder)), size);
    }
}

void TTreemapBox::Clicked(int index, bool twice, const QPoint& global, Qt::MouseButton button) {
    if (index < 0) return;
    const TTreemapTile tile = View->Tiles()[size_t(index)];
    const bool file = tile.Kind == TTreemapTile::TKind::File;
    if (button == Qt::RightButton) {
        const QString path = file ? engine::ProgramPathOfFile({tile.Folder, tile.File})
                                  : engine::NodePath(tile.Folder);
        if (!ItemMenu(path, !file, global)) return;
        // A folder that went may have held the one shown: the window closes then; a file
        // leaves a picture laid out again, without its tile.
        if (file)
            View->SetFolder(shown_, onDisk_);
        else
            reject();
        return;
    }
    if (button != Qt::LeftButton) return;
    if (twice) {
        // Into the folder below the one shown that holds the tile.
        const engine::TFolderNode* into = tile.Folder;
        while (into && into->Parent() != shown_ && into != shown_) into = into->Parent();
        if (into && into != shown_) ZoomInto(into);
        return;
    }
    if (selectFolder_) selectFolder_(engine::NodePath(tile.Folder));
}

void TTreemapBox::ShowHeader() {
    btnUp->setText(shown_ ? (shown_->Parent() ? QStringLiteral("\u2191 ") : QString()) +
                                engine::VisibleName(engine::NodePath(shown_))
                          : QString());
    btnUp->setEnabled(shown_ && shown_->Parent());
    setWindowTitle(QStringLiteral("Treemap - ") +
                   (shown_ ? engine::VisibleName(engine::NodePath(shown_)) : QString()));
}

void TTreemapBox::Forget() {
    root_ = shown_ = nullptr;
    View->SetFolder(nullptr, onDisk_);
}

void TTreemapBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Backspace) {
        desktop::Guarded([&] { ZoomOut(); });
        return;
    }
    TFileWindow::keyPressEvent(event);
}
