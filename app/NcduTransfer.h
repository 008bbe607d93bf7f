#pragma once
// Scans in ncdu's export format: an export opened as a drive of its own (from the File menu or
// the command line), and a folder of this computer saved as an export.

#include <QString>
#include <QStringList>
#include <cstdint>

class TMainForm;
namespace engine {
class TFolderTree;
}

// The options that bring or take an export, from the front of the command line:
// --import-ncdu FILE, --cluster-size N, --export-ncdu PATH FILE. FILE "-" is standard input
// or output.
struct TNcduOptions {
    QString ImportFile;
    int32_t ClusterSize = 0;  // 0: the default
    QString ExportFolder;
    QString ExportFile;
    QString Error;  // a malformed option
};
// Takes the options off the front of arguments; what is left is worked through as before.
TNcduOptions TakeNcduOptions(QStringList& arguments);

// --export-ncdu: writes the folder (a host or program path) to the file, without a window.
// Returns the exit status (TExitStatus) and says what failed on standard error.
int ExportNcduFromCommandLine(const TNcduOptions& options);

class TNcduTransfer {
public:
    TNcduTransfer(TMainForm& window, engine::TFolderTree& tree) : window_(window), tree_(tree) {}

    // Reads an export (a host path or "-") into a new drive and selects its root. False, after
    // telling the user why, when nothing could be read.
    bool Import(const QString& file, int32_t clusterSize);
    // "File > Open ncdu Export...".
    void OpenExport();
    // "File > Save as ncdu Export...": the selected folder, walked once more.
    void SaveExport();

    // For the menu: a folder of this computer is selected and nothing runs.
    bool CanSave() const;

private:
    TMainForm& window_;
    engine::TFolderTree& tree_;  // the window's, which an import adds to
};
