#pragma once
// The treemap's layout: a folder's whole subtree as nested rectangles, each folder a frame
// holding its subfolders' and files' rectangles, each file a tile whose area is proportional to
// its length (or its space on disk), laid out squarified (Bruls, Huizing and van Wijk) so that
// tiles stay near square. What would be smaller than about 2 x 2 pixels is not laid out: a
// folder's items that small share one shaded area of its frame, and a folder that small is one
// solid tile. Plain geometry over the tree and its file store; nothing here paints.

#include <QRectF>
#include <cstdint>
#include <vector>

#include "engine/FileStore.h"

namespace engine {
class TFolderNode;
}

struct TTreemapTile {
    enum class TKind : uint8_t {
        Folder,  // a frame; its content lies inside it, later in the list
        File,    // one stored file
        Small,   // a folder's items too small to show, together (files without a store too)
        Solid,   // a folder too small to hold a frame and content
    };
    QRectF Rect;
    const engine::TFolderNode* Folder = nullptr;  // the folder itself, or the file's folder
    uint32_t File = 0;                            // the store's index, for File
    int64_t Size = 0;                             // what the area stands for
    TKind Kind = TKind::Folder;
    uint8_t Depth = 0;                                              // below the laid-out root (0)
    engine::TFileCategory Category = engine::TFileCategory::Other;  // of a File
};

// The smallest side and area a tile may have to be laid out on its own.
inline constexpr double kSmallestTileSide = 2.0;
inline constexpr double kSmallestTileArea = 4.0;
// The width of a folder's frame around its content.
inline constexpr double kFrameWidth = 1.0;

// Lays out root's subtree in area, folders before what they hold. Sizes are lengths, or spaces
// on disk with byOnDisk. A folder without a record is left empty.
std::vector<TTreemapTile> LayOutTreemap(const engine::TFolderNode* root, const QRectF& area,
                                        bool byOnDisk);

// The last (innermost) tile holding the point, or -1.
int TreemapTileAt(const std::vector<TTreemapTile>& tiles, const QPointF& point);
