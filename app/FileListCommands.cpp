#include "app/FileListCommands.h"

#include <QFile>
#include <QScopeGuard>
#include <cstdio>

#include "app/CommandLine.h"
#include "engine/FileQueries.h"
#include "engine/Ncdu.h"
#include "engine/Scanner.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/ByteInput.h"
#include "platform/FindFile.h"
#include "platform/HostFiles.h"
#include "reports/FileLists.h"

namespace {

constexpr int kMostListed = 1'000'000;

void PrintError(const QString& text) {
    std::fputs(("quillon: " + text + u'\n').toUtf8().constData(), stderr);
}

// The folder scanned (or imported) into the tree; nullptr, having said why, when it cannot be.
engine::TFolderNode* FolderOf(engine::TFolderTree& tree, const TFileListRequest& request,
                              const TNcduOptions& ncdu) {
    const engine::TScanSession session{.KeepFileDetails = true};
    if (!ncdu.ImportFile.isEmpty()) {
        platform::ByteInput input;
        if (!input.Open(ncdu.ImportFile)) {
            PrintError(QStringLiteral("the ncdu export %1 cannot be read: %2")
                           .arg(ncdu.ImportFile, input.errorText()));
            return nullptr;
        }
        const char letter = engine::FreeImportLetter();
        engine::DriveRecord* record = engine::ScannedDrives().Add(letter);
        QString error;
        engine::TFolderNode* top = engine::ImportNcdu(
            tree, *record, letter, input,
            ncdu.ClusterSize > 0 ? ncdu.ClusterSize
                                 : engine::TImportFacts::kDefaultImportClusterSize,
            error, session);
        if (!top) {
            PrintError(QStringLiteral("%1 is not an ncdu export that can be read: %2")
                           .arg(ncdu.ImportFile, error));
            return nullptr;
        }
        if (!error.isEmpty())
            PrintError(
                QStringLiteral("the ncdu export could not be read to its end: %1").arg(error));
        // The export's own path ("/srv/data") names a folder of the imported drive.
        const QString path = ProgramPathOfArgument(request.Folder);
        engine::TFolderNode* folder = nullptr;
        if (path.size() >= 3 && path[0] == QChar(letter))
            folder = path.size() == 3 ? top : engine::FindNodeByPath(top, path.mid(3), true);
        if (!folder)
            PrintError(QStringLiteral("the export holds no folder %1").arg(request.Folder));
        return folder;
    }
    const QString path = ProgramPathOfArgument(request.Folder);
    const uint32_t attributes =
        path.isEmpty() ? platform::INVALID_FILE_ATTRIBUTES : platform::GetFileAttributes(path);
    if (attributes == platform::INVALID_FILE_ATTRIBUTES ||
        !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY)) {
        PrintError(QStringLiteral("the folder %1 could not be opened").arg(request.Folder));
        return nullptr;
    }
    const QChar letter = path[0].toUpper();
    engine::DriveRecord* record = engine::ScannedDrives().Add(char(letter.unicode()));
    const QString driveText =
        QString(letter) + engine::DriveDisplayName(QString(letter) + QLatin1String(":\\"));
    if (engine::IsDriveRoot(path)) return engine::ScanDrive(tree, driveText, *record, session);
    return engine::ScanDriveFolder(tree, driveText, *record, engine::AddBackslash(path), session);
}

bool Write(const QByteArray& text, const QString& file) {
    if (file.isEmpty() || file == QLatin1String("-")) {
        QFile out;
        return out.open(stdout, QIODevice::WriteOnly) && out.write(text) == text.size() &&
               out.flush();
    }
    QString why;
    if (platform::ReplaceHostFile(HostPathOfArgument(file), text, &why)) return true;
    PrintError(QStringLiteral("%1 could not be written: %2").arg(file, why));
    return false;
}

}  // namespace

TFileListRequest FileListRequestOf(const QStringList& arguments) {
    TFileListRequest request;
    if (arguments.isEmpty()) return request;
    const QString option = arguments.first();
    qsizetype next = 1;
    if (option == QLatin1String("--largest")) {
        request.Kind = TFileListRequest::TKind::Largest;
        bool ok = false;
        request.Count = arguments.value(1).toInt(&ok);
        if (!ok || request.Count < 1 || request.Count > kMostListed) {
            request.Error =
                QStringLiteral("--largest takes a number of files, 1 to %1, and a folder")
                    .arg(kMostListed);
            return request;
        }
        next = 2;
    } else if (option == QLatin1String("--types")) {
        request.Kind = TFileListRequest::TKind::Types;
    } else {
        return request;
    }
    if (arguments.size() <= next || arguments.size() > next + 2) {
        request.Error = option + QStringLiteral(" needs a folder and at most one file");
        return request;
    }
    request.Folder = arguments[next];
    request.File = arguments.value(next + 1);
    return request;
}

int FileListFromCommandLine(const TFileListRequest& request, const TNcduOptions& ncdu) {
    if (!request.Error.isEmpty()) {
        PrintError(request.Error);
        return ExitNothingDone;
    }
    engine::TFolderTree tree;
    const auto forget = qScopeGuard([] { engine::ScannedDrives().Clear(); });
    const engine::TFolderNode* folder = FolderOf(tree, request, ncdu);
    if (!folder || !folder->Record()) return ExitNothingDone;
    const QByteArray text =
        request.Kind == TFileListRequest::TKind::Largest
            ? LargestFilesCsv(engine::LargestFiles(folder, size_t(request.Count), false))
            : FileTypesCsv(engine::FileTypesBelow(folder));
    return Write(text, request.File) ? ExitReportWritten : ExitReportFailed;
}
