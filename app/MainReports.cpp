// The main window's export commands: the pie to the clipboard or to a picture file, each made with
// the pie page presented for the selected folder and the page the user had presented again.
#include <QFileDialog>
#include <QFileInfo>
#include <QScopeGuard>

#include "app/main.h"
#include "platform/MessageBox.h"
#include "platform/PainterCanvas.h"
#include "reports/PieExport.h"
#include "views/PieChartPage.h"

void TMainForm::ExportPie(const std::function<void(THPieChart&, platform::Bitmap&)>& exportTo) {
    const int remembered = CurrentPage;
    const auto restore = qScopeGuard([&] { PresentPage(remembered); });
    PresentPage(PagePieChart);
    exportTo(pagePieChart->Chart(), pagePieChart->Picture());
}

void TMainForm::cmdFilePieAsMetafileClick() {
    ExportPie(
        [](THPieChart& chart, platform::Bitmap& picture) { ExportPieAsMetafile(chart, picture); });
}

void TMainForm::cmdFilePieAsBitmapClick() {
    ExportPie(
        [](THPieChart& chart, platform::Bitmap& picture) { ExportPieAsBitmap(chart, picture); });
}

void TMainForm::cmdFilePieToFileClick() {
    if (platform::RunModal(*dlgExportPie) != QDialog::Accepted) return;
    const int filter =
        int(dlgExportPie->nameFilters().indexOf(dlgExportPie->selectedNameFilter())) + 1;
    const QString file = WithExportExtension(dlgExportPie->selectedFiles().value(0), filter);
    dlgExportPie->selectFile(file);  // what the next export proposes
    const bool bitmap = QFileInfo(file).suffix().compare("BMP", Qt::CaseInsensitive) == 0;
    ExportPie([&](THPieChart& chart, platform::Bitmap& picture) {
        if (bitmap)
            ExportPieAsBitmap(chart, picture, file);
        else
            ExportPieAsMetafile(chart, picture, file);
    });
}
