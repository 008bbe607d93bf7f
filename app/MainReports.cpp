// The main window's reports and exports: the pie to the clipboard or to a picture file, the
// folder information report and the subfolder list, from the menu and from the command line.
// Each is made with the pages it reads presented for the selected folder, and the page the user
// had presented presented again afterwards.
#include <QFileDialog>
#include <QFileInfo>
#include <QScopeGuard>

#include <cstdio>
#include <optional>

#include "app/CommandLine.h"
#include "app/MainReports.h"
#include "app/ReportSwitches.h"
#include "app/main.h"
#include "config/AppConfiguration.h"
#include "desktop/Guarded.h"
#include "desktop/MessageBox.h"
#include "draw/PainterCanvas.h"
#include "engine/Ncdu.h"
#include "engine/TextForms.h"
#include "reports/FolderReport.h"
#include "reports/ListWriters.h"
#include "reports/PieExport.h"
#include "views/FolderInfoPage.h"
#include "views/PieChartPage.h"
#include "views/SubfoldersPage.h"
#include "views/WastedSpacePage.h"

using engine::TFolderNode;

void TMainForm::ExportPie(const std::function<void(THPieChart&, draw::Bitmap&)>& exportTo) {
    const int remembered = nav_.CurrentPage();
    const auto restore = qScopeGuard([&] { PresentPage(remembered); });
    PresentPage(PagePieChart);
    exportTo(pagePieChart->Chart(), pagePieChart->Picture());
}

void TMainForm::cmdFilePieAsMetafileClick() {
    ExportPie(
        [](THPieChart& chart, draw::Bitmap& picture) { ExportPieAsMetafile(chart, picture); });
}

void TMainForm::cmdFilePieAsBitmapClick() {
    ExportPie([](THPieChart& chart, draw::Bitmap& picture) { ExportPieAsBitmap(chart, picture); });
}

void TMainForm::cmdFilePieToFileClick() {
    QFileDialog& dialog = SaveDialog(TSaveDialog::Pie);
    if (desktop::RunModal(dialog) != QDialog::Accepted) return;
    const int filter = int(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
    const QString file = WithExportExtension(dialog.selectedFiles().value(0), filter);
    dialog.selectFile(file);  // what the next export proposes
    const bool bitmap = QFileInfo(file).suffix().compare("BMP", Qt::CaseInsensitive) == 0;
    ExportPie([&](THPieChart& chart, draw::Bitmap& picture) {
        if (bitmap)
            ExportPieAsBitmap(chart, picture, file);
        else
            ExportPieAsMetafile(chart, picture, file);
    });
}

// --- folder reports ---

TFolderReportContent TMainForm::ReportContent(const TSubfoldersPage::TFilter& filter,
                                              bool includeWasted) {
    const int remembered = nav_.CurrentPage();
    {
        const auto restore = qScopeGuard([&] { PresentPage(remembered); });
        for (int page : {PagePieChart, PageFolderInfo, PageWastedSpace}) PresentPage(page);
    }
    QStringList notes;
    if (const engine::DriveRecord* drive = engine::DriveRecordOf(nav_.CurrentNode());
        drive && drive->LinksCountedOnce)
        notes << QStringLiteral("Hard-linked files: counted once.");
    if (const engine::TImportFacts* facts = engine::ImportFactsOf(nav_.CurrentNode()))
        notes << engine::ImportDescription(*facts);
    return {pagePieChart->FolderType(),
            pagePieChart->FolderName(),
            nav_.CurrentPath(),
            pageFolderInfo->Texts(),
            pageWastedSpace->Texts(),
            nav_.CurrentClusterSize(),
            ReportList(filter, includeWasted),
            notes};
}

TListTable TMainForm::ReportList(const TSubfoldersPage::TFilter& filter, bool includeWasted) const {
    return TSubfoldersPage::TableFor(nav_.Presentation(includeWasted), filter);
}

TSubfoldersPage::TFilter TMainForm::SubfolderFilter() const {
    return pageSubfolders->Filter();
}

void TMainForm::cmdFileReportFolderInformationClick() {
    QFileDialog& dialog = SaveDialog(TSaveDialog::Report);
    if (desktop::RunModal(dialog) != QDialog::Accepted) return;
    WriteFolderInfoReport(dialog.selectedFiles().value(0),
                          ReportContent(SubfolderFilter(), optIncludeWastedInformation->Value));
}

void TMainForm::cmdFileReportFolderContentsClick() {
    QFileDialog& dialog = SaveDialog(TSaveDialog::List);
    if (desktop::RunModal(dialog) != QDialog::Accepted) return;
    const int filter = int(dialog.nameFilters().indexOf(dialog.selectedNameFilter()));
    QString file = dialog.selectedFiles().value(0);
    if (QFileInfo(file).suffix().isEmpty()) file += filter == 0 ? ".csv" : ".txt";
    PresentNode(SelectedNode());
    const TListTable list = TSubfoldersPage::TableFor(
        nav_.Presentation(optIncludeWastedInformation->Value), SubfolderFilter());
    if (filter == 0)
        ListViewToCSV(list, file);
    else if (filter == 1)
        ListViewToTabText(list, file);
    else
        ListViewToFormattedText(list, file, false);
}

// --- reports from the command line ---

namespace {

// Without a display nobody sees the window: why a report run ends goes to standard error.
void Tell(const QString& text) {
    if (desktop::IsOffscreen())
        std::fputs(("quillon: " + text + u'\n').toUtf8().constData(), stderr);
}

}  // namespace

int TReportRunner::Run(const QStringList& arguments) {
    const std::optional<TReportForm> form =
        arguments.size() >= 3 ? ReportFormOf(arguments[0]) : std::nullopt;
    if (!form) {  // nothing at all is done with such a command line
        Tell(
            QStringLiteral("not a report request: it needs /RINF, /RCSV, /RTAB or /RTXT, a "
                           "folder and a report file (see quillon --help)"));
        return ExitNothingDone;
    }

    // The switches choose what this report lists; the window's own list and options stay.
    TSubfoldersPage::TFilter filter = window_.SubfolderFilter();
    bool wasted = optIncludeWastedInformation->Value;
    const bool quit = ApplySwitches(arguments, filter, wasted);

    const QString folder = ProgramPathOfArgument(arguments[1]);
    if (engine::ImportFactsOf(folder))
        window_.OpenFolderPath(folder);  // a drive imported from an export is not on this disk
    else if (engine::IsDriveRoot(folder))
        window_.ScanOrRescanDrive(TMainForm::DriveTextOf(folder[0].toUpper()));
    else if (!folder.isEmpty() && window_.ScanDriveFolderCommand(folder))
        // The report rests on a scan of its folder, not of the whole drive around it.
        window_.OpenFolderPath(folder);
    const TFolderNode* selected = window_.SelectedNode();
    if (folder.isEmpty() || !selected || !selected->Record() ||
        engine::AddBackslash(engine::NodePath(selected)).toUpper() !=
            engine::AddBackslash(folder).toUpper()) {
        Tell(QStringLiteral("the folder %1 could not be opened: no report was written")
                 .arg(arguments[1]));
        return ExitNothingDone;
    }

    QString file = HostPathOfArgument(arguments[2]);
    if (QFileInfo(file).suffix().isEmpty()) file += *form == TReportForm::Csv ? ".csv" : ".txt";
    bool written = false;
    switch (*form) {
        case TReportForm::Info:
            written = WriteFolderInfoReport(file, window_.ReportContent(filter, wasted));
            break;
        case TReportForm::Csv:
            written = ListViewToCSV(window_.ReportList(filter, wasted), file);
            break;
        case TReportForm::Tab:
            written = ListViewToTabText(window_.ReportList(filter, wasted), file);
            break;
        case TReportForm::Txt:
            written = ListViewToFormattedText(window_.ReportList(filter, wasted), file, false);
            break;
    }
    // Without a display the run ends by itself once the start-up work is done.
    // The runner is gone by then: the posted close holds the window, which outlives it.
    if (quit && !desktop::IsOffscreen()) {
        TMainForm* window = &window_;
        desktop::Post(window, [window] { window->close(); });
    }
    return written ? ExitReportWritten : ExitReportFailed;
}
