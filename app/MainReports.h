#pragma once
// What the main window's reports and exports do with the window: the pages they read presented
// for the selected folder, and the page the user had presented presented again afterwards.

#include <QStringList>
#include <functional>

class TMainForm;
class THPieChart;
struct TFolderReportContent;
namespace draw {
class Bitmap;
}

class TReportRunner {
public:
    explicit TReportRunner(TMainForm& window) : window_(window) {}

    // Runs an export with the pie page presented.
    void ExportPie(const std::function<void(THPieChart&, draw::Bitmap&)>& exportTo);
    // The pages' texts for a report, pages 0 to 3 presented for the selected folder.
    TFolderReportContent Content();
    // A "/R" report request of the command line; its TExitStatus.
    int Run(const QStringList& arguments);

private:
    TMainForm& window_;
};
