#include "views/TreemapLayout.h"

#include <algorithm>
#include <limits>

#include "engine/FolderTree.h"

namespace {

using TKind = TTreemapTile::TKind;

// One thing to place in a folder's content: a subfolder, a file, or the small ones together.
struct TItem {
    int64_t size;
    TKind kind;
    const engine::TFolderNode* folder;  // the subfolder, or the folder holding the file
    uint32_t file;
};

class TLayout {
public:
    TLayout(bool byOnDisk, std::vector<TTreemapTile>& tiles) : onDisk_(byOnDisk), tiles_(tiles) {}

    int64_t SizeOf(const engine::TFolderSize& r) const {
        return onDisk_ ? r.TreeOnDisk : r.TreeSize;
    }

    void Folder(const engine::TFolderNode* folder, const QRectF& rect, uint8_t depth) {
        const engine::TFolderSize* r = folder->Record();
        const size_t at = tiles_.size();
        tiles_.push_back({rect, folder, 0, r ? SizeOf(*r) : 0, TKind::Folder, depth});
        if (!r) return;
        const QRectF inner = rect.adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth);
        if (inner.width() < kSmallestTileSide || inner.height() < kSmallestTileSide) {
            tiles_[at].Kind = TKind::Solid;
            return;
        }
        std::vector<TItem> items = ItemsOf(*folder, *r);
        int64_t total = 0;
        for (const TItem& item : items) total += item.size;
        if (total <= 0) return;
        // What would be smaller than a few pixels goes into one area of the folder's own.
        const double scale = inner.width() * inner.height() / double(total);
        int64_t small = 0;
        std::erase_if(items, [&](const TItem& item) {
            const bool tiny = double(item.size) * scale < kSmallestTileArea;
            if (tiny) small += item.size;
            return tiny;
        });
        if (small > 0) items.push_back({small, TKind::Small, folder, 0});
        std::sort(items.begin(), items.end(),
                  [](const TItem& a, const TItem& b) { return a.size > b.size; });
        Squarify(items, inner, scale, uint8_t(std::min(depth + 1, 255)));
    }

private:
    std::vector<TItem> ItemsOf(const engine::TFolderNode& folder,
                               const engine::TFolderSize& r) const {
        std::vector<TItem> items;
        for (int i = 0; i < folder.ChildCount(); ++i) {
            const engine::TFolderNode* child = folder.Child(i);
            if (const engine::TFolderSize* c = child->Record(); c && SizeOf(*c) > 0)
                items.push_back({SizeOf(*c), TKind::Folder, child, 0});
        }
        const engine::TFileStore* store = engine::FileStoreOf(&folder);
        if (store && r.StoredFiles > 0) {
            for (uint32_t i = r.FirstFile; i < r.FirstFile + r.StoredFiles; ++i) {
                const engine::TStoredFile& file = store->At(i);
                const int64_t size = onDisk_ ? file.OnDisk : file.Length;
                if (!file.IsRemoved() && size > 0) items.push_back({size, TKind::File, &folder, i});
            }
        } else if (const int64_t own = onDisk_ ? r.FilesOnDisk : r.FilesSize; own > 0) {
            items.push_back({own, TKind::Small, &folder, 0});  // no file is known by name
        }
        return items;
    }

    // The worst aspect ratio of a row of areas from largest to smallest along a side.
    static double Worst(double largest, double smallest, double sum, double side) {
        const double s2 = side * side, sum2 = sum * sum;
        return std::max(s2 * largest / sum2, sum2 / (s2 * smallest));
    }

    void Squarify(const std::vector<TItem>& items, QRectF rect, double scale, uint8_t depth) {
        size_t begin = 0;
        while (begin < items.size()) {
            const double side = std::min(rect.width(), rect.height());
            double sum = 0, worst = std::numeric_limits<double>::infinity();
            size_t end = begin;
            while (end < items.size()) {
                const double area = double(items[end].size) * scale;
                const double next =
                    Worst(double(items[begin].size) * scale, area, sum + area, side);
                if (end > begin && next > worst) break;
                sum += area;
                worst = next;
                ++end;
            }
            const bool last = end == items.size();
            // The row is a strip along the shorter side, as thick as its areas need.
            const bool wide = rect.width() >= rect.height();
            double thickness = side > 0 ? sum / side : 0;
            if (last) thickness = wide ? rect.width() : rect.height();  // no gap from rounding
            double offset = 0;
            for (size_t i = begin; i < end; ++i) {
                double length = thickness > 0 ? double(items[i].size) * scale / thickness : 0;
                if (i + 1 == end) length = side - offset;
                const QRectF cell =
                    wide ? QRectF(rect.left(), rect.top() + offset, thickness, length)
                         : QRectF(rect.left() + offset, rect.top(), length, thickness);
                Place(items[i], cell, depth);
                offset += length;
            }
            rect = wide ? rect.adjusted(thickness, 0, 0, 0) : rect.adjusted(0, thickness, 0, 0);
            begin = end;
        }
    }

    void Place(const TItem& item, const QRectF& cell, uint8_t depth) {
        switch (item.kind) {
            case TKind::Folder:
                Folder(item.folder, cell, depth);
                return;
            case TKind::File: {
                const engine::TFileStore* store = engine::FileStoreOf(item.folder);
                tiles_.push_back({cell, item.folder, item.file, item.size, TKind::File, depth,
                                  store->Category(store->At(item.file).Type)});
                return;
            }
            default:
                tiles_.push_back({cell, item.folder, 0, item.size, TKind::Small, depth});
        }
    }

    bool onDisk_;
    std::vector<TTreemapTile>& tiles_;
};

}  // namespace

std::vector<TTreemapTile> LayOutTreemap(const engine::TFolderNode* root, const QRectF& area,
                                        bool byOnDisk) {
    std::vector<TTreemapTile> tiles;
    if (!root || area.width() <= 0 || area.height() <= 0) return tiles;
    TLayout(byOnDisk, tiles).Folder(root, area, 0);
    return tiles;
}

int TreemapTileAt(const std::vector<TTreemapTile>& tiles, const QPointF& point) {
    // Tiles come frame first, content after: the last one holding the point is the innermost.
    for (size_t i = tiles.size(); i-- > 0;)
        if (tiles[i].Rect.contains(point)) return int(i);
    return -1;
}
