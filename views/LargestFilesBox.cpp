#include "views/LargestFilesBox.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "config/AppConfiguration.h"
#include "desktop/Guarded.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"
#include "views/FileRows.h"

namespace {

const QString kSection = QStringLiteral("LargestFilesBox");
const int kCounts[] = {100, 250, 500, 1000, 5000, 10000};

}  // namespace

TLargestFilesBox::TLargestFilesBox(QWidget* owner)
    : TFileWindow(QStringLiteral("Largest Files"), kSection, owner) {
    auto* choices = new QHBoxLayout;
    cbCount = new QComboBox;
    cbCount->setObjectName("cbCount");
    for (int count : kCounts) cbCount->addItem(QString::number(count), count);
    cbMeasure = new QComboBox;
    cbMeasure->setObjectName("cbMeasure");
    cbMeasure->addItems({"By Size", "By Size on Disk"});
    cbCategory = new QComboBox;
    cbCategory->setObjectName("cbCategory");
    cbCategory->addItem(QStringLiteral("All Types"));
    for (int c = 0; c < engine::kFileCategoryCount; ++c)
        cbCategory->addItem(engine::CategoryName(engine::TFileCategory(c)));
    auto* top = new QLabel(QStringLiteral("&Largest"));
    top->setBuddy(cbCount);
    choices->addWidget(top);
    choices->addWidget(cbCount);
    choices->addWidget(cbMeasure);
    choices->addWidget(cbCategory);
    choices->addStretch(1);
    Layout->addLayout(choices);
    FileList = new TFileRows;
    FileList->setObjectName("FileList");
    Layout->addWidget(FileList, 1);
    Layout->addWidget(StatusLine);
    ConnectRows(FileList);

    try {
        const int count = RegReadInteger(AppRegistryKey, kSection, "Count", 100);
        cbCount->setCurrentIndex(std::max(0, cbCount->findData(count)));
        cbMeasure->setCurrentIndex(RegReadBool(AppRegistryKey, kSection, "OnDisk", false) ? 1 : 0);
    } catch (const ERegistryException&) {
        // What cannot be read keeps its default.
    }
    for (QComboBox* box : {cbCount, cbMeasure, cbCategory})
        desktop::Connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (root_) Rebuild();
        });
}

TLargestFilesBox::~TLargestFilesBox() {
    try {
        RegWriteInteger(AppRegistryKey, kSection, "Count", cbCount->currentData().toInt());
        RegWriteBool(AppRegistryKey, kSection, "OnDisk", cbMeasure->currentIndex() == 1);
    } catch (const ERegistryException&) {
    }
}

void TLargestFilesBox::Fill(const engine::TFolderNode* root, bool byOnDisk,
                            const engine::TFileFilter& filter) {
    Begin();
    root_ = nullptr;  // the boxes below change without building the list twice
    filter_ = filter;
    cbMeasure->setCurrentIndex(byOnDisk ? 1 : 0);
    cbCategory->setCurrentIndex(filter.Category ? int(*filter.Category) + 1 : 0);
    cbCategory->setEnabled(!filter.ByExtension);
    root_ = root;
    Rebuild();
}

void TLargestFilesBox::Rebuild() {
    FileList->Clear();
    if (!engine::FileStoreOf(root_)) {
        StatusLine->setText(NotKeptText());
        return;
    }
    engine::TFileFilter filter = filter_;
    filter.Category = cbCategory->currentIndex() > 0
                          ? std::optional(engine::TFileCategory(cbCategory->currentIndex() - 1))
                          : std::nullopt;
    const bool byOnDisk = cbMeasure->currentIndex() == 1;
    const auto hits =
        engine::LargestFiles(root_, size_t(cbCount->currentData().toInt()), byOnDisk, filter);
    int64_t total = 0;
    for (const engine::TFileHit& hit : hits) {
        FileList->AddFile(hit);
        const engine::TStoredFile& file = engine::FileStoreOf(hit.Folder)->At(hit.Index);
        total += byOnDisk ? file.OnDisk : file.Length;
    }
    if (!hits.empty()) FileList->setCurrentItem(FileList->topLevelItem(0));
    QString kind = filter.ByExtension ? QStringLiteral(" .%1").arg(filter.Extension.isEmpty()
                                                                       ? QStringLiteral("(none)")
                                                                       : filter.Extension)
                                      : QString();
    StatusLine->setText(QStringLiteral("%1%2 files below %3, %4 together")
                            .arg(engine::CountText(int64_t(hits.size())), kind,
                                 engine::VisibleName(engine::NodePath(root_)),
                                 engine::SizeText(total)));
}

void TLargestFilesBox::Forget() {
    root_ = nullptr;
    FileList->Clear();
}
