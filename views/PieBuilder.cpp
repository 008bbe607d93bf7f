#include "views/PieBuilder.h"

#include <cmath>

#include "controls/Helpers.h"
#include "engine/Scanner.h"
#include "engine/TextForms.h"
#include "views/HPieChart.h"

using draw::TColor;
using engine::TFolderNode;

namespace {

const QString kFilesInThisFolder = QStringLiteral("Files in this folder");
const QString kOtherSmallerFolders = QStringLiteral("Other smaller folders");
const QString kOtherSmallerFiles = QStringLiteral("Other smaller files");
const QString kThisFolderEmpty = QStringLiteral("This folder (0 bytes)");

// Bytes of the items too small for a section of their own.
struct TRemainder {
    int64_t Size = 0;
    int64_t Wasted = 0;
};

struct TItem {
    QString name;
    QString parentPath;  // empty for a group: its path is its name
    TColor color = 0;
    TItemKind kind = TItemKind::Other;
    TFolderNode* node = nullptr;
    double threshold = 0;
    int64_t size = 0;
    int64_t wasted = 0;
};

// One build: each item becomes a section with its section info when its angle is above its
// threshold, or goes into a remainder.
class TPieBuilder {
public:
    TPieBuilder(THPieChart& chart, const TPieSettings& settings, int64_t total,
                std::vector<TSectionInfo>& infos)
        : chart_(chart), settings_(settings), total_(total), infos_(infos) {}

    // remainder nullptr: an item too small is dropped.
    void Add(const TItem& item, TRemainder* remainder) {
        const int64_t value = item.size + (settings_.IncludeWasted ? item.wasted : 0);
        const double angle = AngleOf(value, total_);
        if (!(angle > item.threshold)) {  // an item exactly at its threshold is grouped too
            if (remainder) {
                remainder->Size += item.size;
                remainder->Wasted += item.wasted;
            }
            return;
        }
        const int cursor = !item.node || item.name == kFilesInThisFolder ? crPieDefault : crZoomIn;
        infos_.push_back({item.node, item.size, item.wasted, cursor, item.name,
                          engine::AddBackslash(item.parentPath) + item.name, item.kind});
        // Section angles are single-precision values; the label used the exact one.
        TPieSection* section =
            chart_.AddSection(LabelOf(item, angle), item.color, double(float(angle)));
        section->Tag = int32_t(infos_.size() - 1);
    }

    // A group: no threshold, and its path is its name.
    void AddGroup(const QString& name, TColor color, TFolderNode* node, const TRemainder& bytes,
                  TRemainder* remainder) {
        Add({name, {}, color, TItemKind::Other, node, 0, bytes.Size, bytes.Wasted}, remainder);
    }

private:
    QString LabelOf(const TItem& item, double angle) const {
        QString suffix;
        if (settings_.ShowPercent == 1) {
            suffix = QString::number(int64_t(std::trunc(angle * 100 / 360))) + u'%';
        } else if (settings_.ShowPercent == 2) {
            suffix = engine::SizeText(item.size + (settings_.IncludeWasted ? item.wasted : 0));
        }
        // A name's line breaks and undecodable bytes would shift or garble the label.
        const QString name = engine::VisibleName(item.name);
        return suffix.isEmpty() ? name : name + " (" + suffix + ")";
    }

    THPieChart& chart_;
    const TPieSettings& settings_;
    int64_t total_;
    std::vector<TSectionInfo>& infos_;
};

// The cluster size the views show the wasted space at: the drive's own or a reference size. A
// file's slack is taken at it too, as the folder's totals are, so that the sections of the files
// add up to what the pie's total counts for them.
int64_t ShownClusterSize(int32_t driveClusterSize) {
    const int choice = engine::ClusterSizeChoice;
    return choice >= 1 && choice <= engine::kReferenceClusterSizeCount
               ? engine::ReferenceClusterSizes[size_t(choice - 1)]
               : driveClusterSize;
}

// Each file of the folder as an item, then the files too small for their own section together.
void AddFileItems(TPieBuilder& pie, const QString& path,
                  const std::vector<engine::TFolderFile>& files, const TPieSettings& settings) {
    const int64_t clusterSize = ShownClusterSize(settings.DriveClusterSize);
    TRemainder small;
    for (const engine::TFolderFile& file : files) {
        pie.Add({file.Name, path, settings.Colors[5], TItemKind::File, nullptr,
                 settings.MinFileAngle, settings.MeasureOnDisk ? file.OnDisk : file.Size,
                 settings.MeasureOnDisk ? 0 : engine::Slack(file.Size, clusterSize)},
                &small);
    }
    pie.AddGroup(kOtherSmallerFiles, settings.Colors[6], nullptr, small, nullptr);
}

}  // namespace

bool IsSmallerFilesGroup(const TSectionInfo& info) {
    return info.Kind == TItemKind::Other && !info.Node && info.Name == kOtherSmallerFiles;
}

TPieSettings CurrentPieSettings(int32_t driveClusterSize) {
    return {optIncludeWastedInformation->Value,
            optShowFileNames->Value,
            optShowPercentInPie->Value,
            optSortAscending->Value,
            MinFileSectionAngle,
            MinFolderSectionAngle,
            AppColors,
            driveClusterSize,
            optMeasureSpaceOnDisk->Value};
}

std::vector<TSectionInfo> BuildPie(THPieChart& chart, TFolderNode& node,
                                   const TPieSettings& settings) {
    std::vector<TSectionInfo> infos;
    const engine::TFolderSize* record = node.Record();
    if (!record) return infos;
    const QString path = engine::NodePath(&node);
    chart.BeginUpdate();
    struct Unlock {
        THPieChart& chart;
        ~Unlock() { chart.EndUpdate(); }
    } unlock{chart};
    chart.Clear();

    // On the disk a folder takes its files' blocks, which hold their slack: no wasted space on top.
    const bool onDisk = settings.MeasureOnDisk;
    const auto treeBytes = [&](const engine::TFolderSize& r) {
        return onDisk ? r.TreeOnDisk : r.TreeSize;
    };
    const auto treeWastedOf = [&](const engine::TFolderSize& r) {
        return onDisk ? 0 : engine::ShownTreeWasted(r);
    };
    const int64_t treeWasted = treeWastedOf(*record);
    infos.push_back({&node, treeBytes(*record), treeWasted,
                     node.Parent() ? crZoomOut : crPieDefault, node.DisplayName(), path,
                     TItemKind::Folder});
    const int64_t total = treeBytes(*record) + (settings.IncludeWasted ? treeWasted : 0);
    TPieBuilder pie(chart, settings, total, infos);
    if (total == 0) {
        pie.AddGroup(kThisFolderEmpty, settings.Colors[4], nullptr, {}, nullptr);
        return infos;
    }
    TRemainder folders;
    for (int i = 0; i < node.ChildCount(); ++i) {
        TFolderNode* child = node.Child(i);
        const engine::TFolderSize* r = child->Record();
        pie.Add({child->DisplayName(), path, settings.Colors[2], TItemKind::Folder, child,
                 settings.MinFolderAngle, r ? treeBytes(*r) : 0, r ? treeWastedOf(*r) : 0},
                &folders);
    }
    // Files by name only when the disk lists what the record counts; else the record's figures.
    const engine::TCountedFiles files =
        settings.ShowFileNames ? engine::ListCountedFiles(node) : engine::TCountedFiles{};
    if (files.MatchRecord) {
        AddFileItems(pie, path, files.Files, settings);
    } else {
        pie.AddGroup(kFilesInThisFolder, settings.Colors[3], &node,
                     {onDisk ? record->FilesOnDisk : record->FilesSize,
                      onDisk ? 0 : engine::ShownFilesWasted(*record)},
                     &folders);
    }
    pie.AddGroup(kOtherSmallerFolders, settings.Colors[4], nullptr, folders, nullptr);
    chart.Sort(!settings.SortAscending);
    return infos;
}
