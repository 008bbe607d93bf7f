#include "reports/PieExport.h"

#include <QBuffer>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QScopeGuard>
#include <memory>
#include <stdexcept>

#include "draw/EmfCanvas.h"
#include "draw/PainterCanvas.h"
#include "draw/WmfCanvas.h"
#include "platform/HostFiles.h"
#include "views/HPieChart.h"

namespace {

// The chart drawn onto target; back on the on-screen picture afterwards, also after a failure.
void DrawOnto(THPieChart& chart, draw::Canvas& target, draw::Bitmap& onScreen) {
    const auto back = qScopeGuard([&] { chart.SetCanvas(&onScreen.Canvas()); });
    chart.SetCanvas(&target);
}

QImage Picture(THPieChart& chart, draw::Bitmap& onScreen) {
    draw::Bitmap bitmap(onScreen.Image().width(), onScreen.Image().height());
    DrawOnto(chart, bitmap.Canvas(), onScreen);
    return bitmap.Image();
}

}  // namespace

void ExportPieAsMetafile(THPieChart& chart, draw::Bitmap& onScreen, const QString& fileName) {
    const int width = onScreen.Image().width();
    const int height = onScreen.Image().height();
    const bool enhanced =
        fileName.isEmpty() || QFileInfo(fileName).suffix().compare("EMF", Qt::CaseInsensitive) == 0;
    std::unique_ptr<draw::MetafileCanvas> metafile;
    if (enhanced)
        metafile = std::make_unique<draw::EmfCanvas>(width, height);
    else
        metafile = std::make_unique<draw::WmfCanvas>(width, height);
    DrawOnto(chart, *metafile, onScreen);
    if (!fileName.isEmpty()) {
        metafile->SaveToFile(fileName);
        return;
    }
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/x-emf"), metafile->Bytes());
    data->setImageData(Picture(chart, onScreen));
    QGuiApplication::clipboard()->setMimeData(data);
}

void ExportPieAsBitmap(THPieChart& chart, draw::Bitmap& onScreen, const QString& fileName) {
    const QImage picture = Picture(chart, onScreen);
    if (fileName.isEmpty()) {
        QGuiApplication::clipboard()->setImage(picture);
        return;
    }
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QImageWriter writer(&bytes, "BMP");
    QString why;
    const bool written = writer.write(picture)
                             ? platform::ReplaceHostFile(fileName, bytes.data(), &why)
                             : (why = writer.errorString(), false);
    if (!written)
        throw std::runtime_error(
            QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, why).toStdString());
}

QString WithExportExtension(const QString& fileName, int filter) {
    static const char* const kExtensions[] = {".BMP", ".WMF", ".EMF"};
    const QString extension = QLatin1String(kExtensions[std::clamp(filter, 1, 3) - 1]);
    const QFileInfo info(fileName);
    const QString suffix = info.suffix();
    const QString base =
        suffix.isEmpty() ? fileName : fileName.left(fileName.size() - suffix.size() - 1);
    return base + extension;
}
