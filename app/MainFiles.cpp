// The file windows of the main window: Largest Files, File Types and Find in Scan, the item
// menu of their rows, and a file leaving the disk.
#include <QBuffer>
#include <QFileDialog>
#include <QFileInfo>

#include "app/MainReports.h"
#include "app/Messages.h"
#include "app/main.h"
#include "config/AppConfiguration.h"
#include "controls/Helpers.h"
#include "controls/ItemProp.h"
#include "desktop/MessageBox.h"
#include "engine/FileStore.h"
#include "engine/Ncdu.h"
#include "platform/HostFiles.h"
#include "reports/FileLists.h"
#include "reports/ListWriters.h"
#include "views/FileTypesBox.h"
#include "views/FindBox.h"
#include "views/LargestFilesBox.h"
#include "views/TreemapBox.h"

using engine::TFolderNode;

TLargestFilesBox& TMainForm::LargestFilesWindow() {
    if (!largestFiles_) {
        largestFiles_ = new TLargestFilesBox(this);
        largestFiles_->setObjectName("LargestFilesBox");
        largestFiles_->SetItemMenu([this](const QString& path, bool folder, const QPoint& at) {
            return FileWindowItemMenu(path, folder, at);
        });
    }
    return *largestFiles_;
}

TFileTypesBox& TMainForm::FileTypesWindow() {
    if (!fileTypes_) {
        fileTypes_ = new TFileTypesBox(this);
        fileTypes_->setObjectName("FileTypesBox");
        fileTypes_->SetOpenFiles([this](const engine::TFileFilter& filter) {
            TLargestFilesBox& files = LargestFilesWindow();
            files.Fill(nav_.CurrentNode(), optMeasureSpaceOnDisk->Value, filter);
            desktop::RunModal(files);
            return files.ResultPath();
        });
        fileTypes_->SetSaveCsv([this](const engine::TFileTypes& types) {
            QFileDialog& dialog = SaveDialog(TSaveDialog::List);
            if (desktop::RunModal(dialog) != QDialog::Accepted) return;
            QString file = dialog.selectedFiles().value(0);
            if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".csv");
            QString why;
            if (!platform::ReplaceHostFile(file, FileTypesCsv(types), &why))
                ShowReportFailure(file, why);
        });
    }
    return *fileTypes_;
}

TFindBox& TMainForm::FindWindow() {
    if (!find_) {
        find_ = new TFindBox(this);
        find_->setObjectName("FindBox");
        find_->SetItemMenu([this](const QString& path, bool folder, const QPoint& at) {
            return FileWindowItemMenu(path, folder, at);
        });
    }
    return *find_;
}

TTreemapBox& TMainForm::TreemapWindow() {
    if (!treemap_) {
        treemap_ = new TTreemapBox(this);
        treemap_->setObjectName("TreemapBox");
        treemap_->SetItemMenu([this](const QString& path, bool folder, const QPoint& at) {
            return FileWindowItemMenu(path, folder, at);
        });
        treemap_->SetSelectFolder([this](const QString& path) { OpenFolderPath(path); });
        treemap_->SetSave([this](const QImage& picture, const QByteArray& svg) {
            QFileDialog& dialog = SaveDialog(TSaveDialog::Picture);
            if (desktop::RunModal(dialog) != QDialog::Accepted) return;
            const bool vector = dialog.selectedNameFilter().contains(QLatin1String("svg"));
            QString file = dialog.selectedFiles().value(0);
            if (QFileInfo(file).suffix().isEmpty()) file += vector ? ".svg" : ".png";
            QByteArray bytes = svg;
            if (QFileInfo(file).suffix().compare("svg", Qt::CaseInsensitive) != 0) {
                bytes.clear();
                QBuffer buffer(&bytes);
                buffer.open(QIODevice::WriteOnly);
                picture.save(&buffer, "PNG");
            }
            QString why;
            if (!platform::ReplaceHostFile(file, bytes, &why)) ShowReportFailure(file, why);
        });
    }
    return *treemap_;
}

void TMainForm::cmdViewTreemapClick() {
    TFolderNode* folder = nav_.CurrentNode();
    if (!folder || !folder->Record()) return;
    TTreemapBox& treemap = TreemapWindow();
    treemap.Fill(folder, optMeasureSpaceOnDisk->Value);
    desktop::RunModal(treemap);
}

void TMainForm::ShowLargestFiles(TFolderNode* folder, const engine::TFileFilter& filter) {
    if (!folder || !folder->Record()) return;
    TLargestFilesBox& files = LargestFilesWindow();
    files.Fill(folder, optMeasureSpaceOnDisk->Value, filter);
    desktop::RunModal(files);
    // The window lets go of the tree's nodes when it closes; the choice outlives them.
    if (const QString chosen = files.ResultPath(); !chosen.isEmpty()) OpenFolderPath(chosen);
}

void TMainForm::cmdViewMeasureOnDiskClick() {
    optMeasureSpaceOnDisk->Value = cmdViewMeasureOnDisk->isChecked();
    RefreshPie();
}

void TMainForm::cmdViewLargestFilesClick() {
    ShowLargestFiles(nav_.CurrentNode());
}

void TMainForm::cmdViewFileTypesClick() {
    TFolderNode* folder = nav_.CurrentNode();
    if (!folder || !folder->Record()) return;
    TFileTypesBox& types = FileTypesWindow();
    types.Fill(folder);
    desktop::RunModal(types);
    if (const QString chosen = types.ResultPath(); !chosen.isEmpty()) OpenFolderPath(chosen);
}

void TMainForm::cmdViewFindInScanClick() {
    if (nav_.Scanning()) return;
    std::vector<const TFolderNode*> drives;
    for (int i = 0; i < tree_.TopLevelCount(); ++i) drives.push_back(tree_.TopLevel(i));
    TFindBox& find = FindWindow();
    const TFolderNode* selected = nav_.CurrentNode();
    find.Fill(selected && selected->Record() ? selected : nullptr, std::move(drives));
    desktop::RunModal(find);
    if (const QString chosen = find.ResultPath(); !chosen.isEmpty()) OpenFolderPath(chosen);
}

bool TMainForm::FileWindowItemMenu(const QString& path, bool folder, const QPoint& at) {
    // An imported drive has nothing on this computer: its items never leave.
    if (engine::ImportFactsOf(path)) return ShowInfo(engine::kImportedDriveNote), false;
    int64_t size = 0, wasted = 0;
    const qsizetype slash = path.lastIndexOf(u'\\');
    TFolderNode* holder = folder ? nullptr : NodeAt(path.left(slash == 2 ? 3 : slash));
    if (const auto index = engine::StoredFileIndex(holder, path.mid(slash + 1))) {
        size = engine::FileStoreOf(holder)->At(*index).Length;
        const engine::DriveRecord* drive = engine::DriveRecordOf(holder);
        wasted = engine::Slack(size, drive ? drive->ClusterSize : -1);
    }
    ShowFolderItemMenu(path, folder, size, wasted, at);
    return !IsEntryAt(path);
}

void TMainForm::FileRemoved(TFolderNode* folder, const QString& name, int64_t size,
                            int64_t wasted) {
    const engine::TStoredFile* gone = engine::ForgetStoredFile(folder, name);
    engine::SubtractFromAncestors(folder, nullptr, 0, 1, wasted, size, gone ? gone->OnDisk : 0);
    RefreshViews(true);  // the views still show the file otherwise
}
