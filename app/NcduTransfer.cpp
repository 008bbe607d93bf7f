#include "app/NcduTransfer.h"

#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/Messages.h"
#include "app/main.h"
#include "desktop/MessageBox.h"
#include "engine/Ncdu.h"
#include "engine/Scanner.h"
#include "engine/TextForms.h"
#include "platform/ByteInput.h"
#include "platform/FindFile.h"
#include "platform/HostFiles.h"

namespace {

const QString kExportFilter =
    QStringLiteral("ncdu export (*.json *.json.gz *.ncdu *.gz);;All files (*)");

void PrintError(const QString& text) {
    std::fputs(("quillon: " + text + u'\n').toUtf8().constData(), stderr);
}

// Put in its place whole, so that a failure leaves no half file, and never through a link.
bool ExportToFile(const QString& folder, const QString& file, QString& error) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    return engine::ExportNcdu(folder, out, error) &&
           platform::ReplaceHostFile(file, out.data(), &error);
}

}  // namespace

TNcduOptions TakeNcduOptions(QStringList& arguments) {
    TNcduOptions options;
    // The option and its values, taken off the front; false when values are missing.
    const auto take = [&](qsizetype values) {
        if (arguments.size() > values) return true;
        options.Error =
            arguments.first() + QStringLiteral(" needs %1")
                                    .arg(values == 1 ? QStringLiteral("a value")
                                                     : QStringLiteral("a folder and a file"));
        return false;
    };
    while (!arguments.isEmpty() && options.Error.isEmpty()) {
        const QString option = arguments.first();
        if (option == QLatin1String("--import-ncdu")) {
            if (!take(1)) break;
            options.ImportFile = arguments[1];
        } else if (option == QLatin1String("--cluster-size")) {
            if (!take(1)) break;
            bool ok = false;
            options.ClusterSize = arguments[1].toInt(&ok);
            if (!ok || options.ClusterSize < 512 || options.ClusterSize > 64 * 1024 * 1024)
                options.Error =
                    QStringLiteral("--cluster-size takes a number of bytes, 512 or more");
        } else if (option == QLatin1String("--export-ncdu")) {
            if (!take(2)) break;
            options.ExportFolder = arguments[1];
            options.ExportFile = arguments[2];
            arguments.removeFirst();
        } else {
            break;
        }
        arguments.remove(0, 2);
    }
    return options;
}

int ExportNcduFromCommandLine(const TNcduOptions& options) {
    const QString folder = ProgramPathOfArgument(options.ExportFolder);
    if (folder.isEmpty() ||
        platform::GetFileAttributes(folder) == platform::INVALID_FILE_ATTRIBUTES) {
        PrintError(QStringLiteral("the folder %1 could not be opened").arg(options.ExportFolder));
        return ExitNothingDone;
    }
    QString error;
    bool written = false;
    if (options.ExportFile == QLatin1String("-")) {
        QFile out;
        written = out.open(stdout, QIODevice::WriteOnly) && engine::ExportNcdu(folder, out, error);
    } else {
        written = ExportToFile(folder, options.ExportFile, error);
    }
    if (!written) PrintError(QStringLiteral("the export could not be written: %1").arg(error));
    return written ? ExitReportWritten : ExitReportFailed;
}

bool TNcduTransfer::Import(const QString& file, int32_t clusterSize) {
    TMainForm& w = window_;
    if (!w.MayChangeTree()) return false;
    platform::ByteInput input;
    if (!input.Open(file)) {
        ShowAppError(
            QStringLiteral("The ncdu export %1 cannot be read: %2").arg(file, input.errorText()),
            2);
        return false;
    }
    const char letter = engine::FreeImportLetter();
    if (letter == 0) {
        ShowAppError(QStringLiteral("No drive letter is free for the imported scan."), 2);
        return false;
    }
    engine::DriveRecord* record = engine::ScannedDrives().Add(letter);
    QString error;
    engine::TFolderNode* top = engine::ImportNcdu(
        tree_, *record, letter, input,
        clusterSize > 0 ? clusterSize : engine::TImportFacts::kDefaultImportClusterSize, error,
        w.ScanSession());
    w.ShowStatusText(0, QStringLiteral("Done."));
    if (!top) {
        engine::ScannedDrives().Remove(record);
        ShowAppError(
            QStringLiteral("%1 is not an ncdu export that can be read: %2")
                .arg(file == QLatin1String("-") ? QStringLiteral("The input") : file, error),
            2);
        return false;
    }
    w.RefreshViews(false);
    w.SelectNode(top);
    if (!error.isEmpty()) {
        ShowAppError(QStringLiteral("The ncdu export could not be read to its end: %1.\n\nWhat "
                                    "was read is shown; its totals are incomplete.")
                         .arg(error),
                     2);
    }
    return true;
}

void TNcduTransfer::OpenExport() {
    QFileDialog dialog(&window_, QStringLiteral("Open ncdu Export"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(kExportFilter);
    if (desktop::RunModal(dialog) != QDialog::Accepted) return;
    const QString file = dialog.selectedFiles().value(0);
    if (!file.isEmpty()) Import(file, 0);
}

bool TNcduTransfer::CanSave() const {
    const TMainForm& w = window_;
    return w.MayChangeTree() && w.Navigator().CurrentNode() &&
           w.Navigator().CurrentNode()->Record() &&
           !engine::ImportFactsOf(w.Navigator().CurrentNode());
}

void TNcduTransfer::SaveExport() {
    TMainForm& w = window_;
    if (!CanSave()) return;
    const QString folder = w.Navigator().CurrentPath();
    QFileDialog dialog(&w, QStringLiteral("Save as ncdu Export"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kExportFilter);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (desktop::RunModal(dialog) != QDialog::Accepted) return;
    const QString file = dialog.selectedFiles().value(0);
    if (file.isEmpty()) return;

    QString error;
    bool written = false;
    {
        // The walk lets the window run: Stop ends it, and nothing may change the tree meanwhile.
        const engine::TScanningState exporting(engine::CurrentScanHost());
        written = ExportToFile(folder, file, error);
    }
    w.ShowStatusText(0, written ? QStringLiteral("Saved %1 as an ncdu export.").arg(folder)
                                : QStringLiteral("Done."));
    if (!written)
        ShowAppError(QStringLiteral("The ncdu export could not be written: %1").arg(error), 2);
}
