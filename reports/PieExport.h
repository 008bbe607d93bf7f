#pragma once
// The pie's pictures: the chart drawn once more onto a picture as large as the on-screen one, as
// a bitmap or as a metafile, put on the clipboard or saved in a file. The chart is back on the
// on-screen picture afterwards, whatever happened.

#include <QString>

class THPieChart;
namespace draw {
class Bitmap;
}

// Without a file name the picture goes to the clipboard as an enhanced metafile (image/x-emf),
// with a bitmap of it beside for programs that read no metafiles. With one, the file is an
// enhanced metafile when its extension is ".EMF" in any case, otherwise a placeable Windows
// metafile. Throws std::runtime_error naming the file and the reason when it cannot be written.
void ExportPieAsMetafile(THPieChart& chart, draw::Bitmap& onScreen, const QString& fileName = {});

// The same as a bitmap: to the clipboard as an image, or in a Windows bitmap (.bmp) file.
void ExportPieAsBitmap(THPieChart& chart, draw::Bitmap& onScreen, const QString& fileName = {});

// The dialog's filters in order (1 bitmap, 2 metafile, 3 enhanced metafile) force their
// extension onto the chosen name: ".BMP", ".WMF", ".EMF" replace the name's own or are added.
QString WithExportExtension(const QString& fileName, int filter);
