#include "cleanup/CleanUpPage.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QTextEdit>
#include <QVBoxLayout>

#include "cleanup/FormCleanUpCompress.h"
#include "cleanup/FormCleanUpMove.h"
#include "config/AppConfiguration.h"
#include "controls/FileOperationDialogs.h"
#include "controls/SensiControls.h"
#include "desktop/Guarded.h"
#include "desktop/MessageBox.h"
#include "engine/FolderTree.h"
#include "engine/Ncdu.h"
#include "engine/TextForms.h"
#include "views/PageParts.h"

const std::array<const char*, 5> TCleanUpPage::HintTexts = {
    "Although the main purpose of Quillon Pro is to help you quickly find out how your disk "
    "space is being used, the program also offers you a few ways to free up some disk space. "
    "But use them with care.",
    "This option can help you reduce the space wasted by the folder due to the drive cluster "
    "size. The folder and all its subfolders and files are moved to another location (such as "
    "on a drive with a smaller cluster size).",
    "This option can help you gain disk space by compressing and moving the folder to a ZIP "
    "archive. Quillon Pro may later restore the folder from the ZIP archive to the original "
    "location.",
    "All files are sent to the Recycle Bin. Files may be recovered and the disk space is not "
    "freed up until the Recycle Bin is emptied.",
    "This option can help you immediately free up disk space, but it is very dangerous! All the "
    "files and sub-folders of the current folder are deleted and cannot be recovered.",
};

namespace {

// The two looks of a panel: lit under the pointer, or as a button at rest.
void SetPanelLook(TSensitivePanel* panel, QLabel* label, bool lit) {
    const QPalette system = QApplication::palette();
    const QColor text = lit ? QColor(Qt::white) : QColor(Qt::black);
    QPalette look = panel->palette();
    look.setColor(QPalette::Button, system.color(lit ? QPalette::Highlight : QPalette::Button));
    look.setColor(QPalette::WindowText, text);
    panel->setPalette(look);
    QPalette labelLook = label->palette();
    labelLook.setColor(QPalette::WindowText, text);
    label->setPalette(labelLook);
}

// The cluster size the wasted space shown is counted at: the one chosen, or the drive's own.
int32_t ShownClusterSize(const QString& path) {
    const int choice = engine::ClusterSizeChoice;
    if (choice >= 1 && choice <= engine::kReferenceClusterSizeCount)
        return engine::ReferenceClusterSizes[size_t(choice - 1)];
    const engine::DriveRecord* drive =
        path.isEmpty() ? nullptr : engine::ScannedDrives().Find(char(path[0].toUpper().unicode()));
    return drive && drive->ClusterSize > 0 ? drive->ClusterSize : 0;
}

}  // namespace

TCleanUpPage::TCleanUpPage(QWidget* parent) : TViewPage(parent) {
    auto* layout = new QVBoxLayout(this);

    panWebCleanUpPath_ = new QWidget;
    auto* header = new QVBoxLayout(panWebCleanUpPath_);
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(new QLabel("Folder"));
    txtWebCleanUpPath_ = new TPathLabel;
    txtWebCleanUpPath_->setObjectName("txtWebCleanUpPath");
    header->addWidget(txtWebCleanUpPath_);
    layout->addWidget(panWebCleanUpPath_);

    struct Row {
        TSensitivePanel** panel;
        const char* name;
        const char* label;
        const char* shortcut;
        int tag;
        QStyle::StandardPixmap image;
        void (TCleanUpPage::*click)();
    };
    const Row rows[4] = {
        {&panCleanMenuDelete_, "panCleanMenuDelete", "Delete Folder", "Ctrl+D  ", 4,
         QStyle::SP_DialogDiscardButton, &TCleanUpPage::panCleanMenuDeleteClick},
        {&panCleanMenuMove_, "panCleanMenuMove", "Move Folder", "Ctrl+M  ", 1,
         QStyle::SP_FileDialogToParent, &TCleanUpPage::panCleanMenuMoveClick},
        {&panCleanMenuRecycle_, "panCleanMenuRecycle", "Send To Recycle Bin", "Ctrl+B  ", 3,
         QStyle::SP_TrashIcon, &TCleanUpPage::panCleanMenuRecycleClick},
        {&panCleanMenuCompress_, "panCleanMenuCompress", "Archive Folder", "Ctrl+R  ", 2,
         QStyle::SP_DriveHDIcon, &TCleanUpPage::panCleanMenuCompressClick},
    };
    for (int i = 0; i < 4; ++i) {
        const Row& r = rows[i];
        auto* panel = *r.panel = new TSensitivePanel;
        panel->setObjectName(r.name);
        panel->setCaption(r.shortcut);
        panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        panel->setCursor(Qt::PointingHandCursor);
        panel->setBackgroundRole(QPalette::Button);
        panel->setMinimumHeight(40);
        auto* row = new QHBoxLayout(panel);
        auto* image = new QLabel;
        // Some styles have the picture only small: all four are shown at one size.
        image->setPixmap(style()->standardIcon(r.image).pixmap(32, 32).scaled(
            32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        auto* label = new QLabel(r.label);
        label->setProperty("tag", r.tag);
        row->addWidget(image);
        row->addWidget(label, 1);
        SetPanelLook(panel, label, false);
        actions_[i] = {panel, image, label, r.click};
        for (QWidget* w : {static_cast<QWidget*>(panel), static_cast<QWidget*>(image),
                           static_cast<QWidget*>(label)})
            w->installEventFilter(this);
        desktop::Connect(
            panel, &TSensitivePanel::OnSensitiveActivate, this,
            [this](QWidget* sender, QEvent&) { panCleanMenuMoveSensitiveActivate(sender); });
        desktop::Connect(
            panel, &TSensitivePanel::OnSensitiveDeactivate, this,
            [this](QWidget* sender, QEvent&) { panCleanMenuMoveSensitiveDeactivate(sender); });
        layout->addWidget(panel);
    }

    ediCleanMenuHint_ = new QTextEdit;
    ediCleanMenuHint_->setObjectName("ediCleanMenuHint");
    ediCleanMenuHint_->setReadOnly(true);
    layout->addWidget(ediCleanMenuHint_, 1);
    ShowHint(0);
}

void TCleanUpPage::Present(const TPresentation& presentation) {
    // A drive never gets here: the window shows the pie chart for it instead.
    txtWebCleanUpPath_->SetPath(presentation.Path);
    // Nothing on this computer can be freed through a scan that came from elsewhere.
    const bool imported = engine::ImportFactsOf(presentation.Node) != nullptr;
    for (const Action& a : actions_) a.panel->setEnabled(!imported);
    if (imported)
        ediCleanMenuHint_->setPlainText(engine::kImportedDriveNote);
    else
        ShowHint(0);
}

bool TCleanUpPage::ShortcutPressed(int key) {
    const auto act = [this](void (TCleanUpPage::*click)()) {
        desktop::Guarded([&] { (this->*click)(); });
        return true;
    };
    switch (key) {
        case Qt::Key_B:
            return act(&TCleanUpPage::panCleanMenuRecycleClick);
        case Qt::Key_D:
            return act(&TCleanUpPage::panCleanMenuDeleteClick);
        case Qt::Key_M:
            return act(&TCleanUpPage::panCleanMenuMoveClick);
        case Qt::Key_R:
            return act(&TCleanUpPage::panCleanMenuCompressClick);
        default:
            return false;
    }
}

bool TCleanUpPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (const Action& a : actions_) {
            if (watched == a.panel || watched == a.image || watched == a.label) {
                desktop::Guarded([&] { (this->*a.click)(); });
                return true;
            }
        }
    }
    return TViewPage::eventFilter(watched, event);
}

// --- hover ---

const TCleanUpPage::Action* TCleanUpPage::ActionOf(const QWidget* panel) const {
    for (const Action& a : actions_) {
        if (a.panel == panel) return &a;
    }
    return nullptr;
}

void TCleanUpPage::ShowHint(int number) {
    ediCleanMenuHint_->setPlainText(QString::fromUtf8(HintTexts.at(size_t(number))));
}

void TCleanUpPage::panCleanMenuMoveSensitiveActivate(QWidget* sender) {
    const Action* a = ActionOf(sender);
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    if (!a || a->panel->palette().color(QPalette::Button) == highlight) return;
    SetPanelLook(a->panel, a->label, true);
    ShowHint(a->label->property("tag").toInt());
}

void TCleanUpPage::panCleanMenuMoveSensitiveDeactivate(QWidget* sender) {
    const Action* a = ActionOf(sender);
    const QColor face = QApplication::palette().color(QPalette::Button);
    if (!a || a->panel->palette().color(QPalette::Button) == face) return;
    SetPanelLook(a->panel, a->label, false);
    ShowHint(0);
}

// --- the actions ---

engine::TFolderNode* TCleanUpPage::FolderToActOn() const {
    if (!host_ || !host_->MayChangeTree()) return nullptr;
    engine::TFolderNode* node = host_->CleanUpFolder();
    if (!node || !node->Parent()) return nullptr;
    if (engine::ImportFactsOf(node)) {
        desktop::ShowMessage(window(), {QApplication::applicationName(), engine::kImportedDriveNote,
                                        desktop::MessageIcon::Information, desktop::Ok});
        return nullptr;
    }
    return node;
}

void TCleanUpPage::panCleanMenuDeleteClick() {
    DeleteOrRecycle(false);
}

void TCleanUpPage::panCleanMenuRecycleClick() {
    DeleteOrRecycle(true);
}

void TCleanUpPage::DeleteOrRecycle(bool recycle) {
    engine::TFolderNode* node = FolderToActOn();
    if (!node) return;
    const QString path = engine::NodePath(node);
    platform::FileOperationResult result;
    {
        // The operation pumps events while it works: nothing may change the tree meanwhile.
        const engine::TTreeBusy acting;
        result = recycle ? RecycleItems(window(), {path}) : DeleteItems(window(), {path});
    }
    // Stopped or failed part-way, the folder may have lost some of what its totals count.
    AdjustTree(path, node,
               result.status == platform::FileOperationStatus::Cancelled ||
                   result.status == platform::FileOperationStatus::Failed);
}

void TCleanUpPage::AdjustTree(const QString& path, engine::TFolderNode* node, bool changedPartWay) {
    if (host_->RemoveVanishedFolder(path, node)) return;
    if (changedPartWay) host_->RescanFolder(node);
}

void TCleanUpPage::panCleanMenuMoveClick() {
    engine::TFolderNode* node = FolderToActOn();
    if (!node) return;
    const QString path = engine::NodePath(node);
    const engine::TFolderSize record = node->Record() ? *node->Record() : engine::TFolderSize{};
    TCleanUpMoveFolderBox box(window());
    box.SetSource(path);
    box.SetWastedText(QStringLiteral("This folder is wasting %1 on the drive where is located.")
                          .arg(engine::SizeText(engine::ShownTreeWasted(record))));
    box.FillBetterDrives(record);
    desktop::Connect(&box, &TCleanUpMoveFolderBox::HelpRequested, this,
                     [this, &box](int topic) { emit HelpRequested(topic, &box); });
    int answer = QDialog::Rejected;
    {
        // The dialog's move pumps events while it works: nothing may change the tree meanwhile.
        const engine::TTreeBusy moving;
        answer = desktop::RunModal(box);
    }
    if (answer != QDialog::Accepted) return;
    // Whatever reached the target left the source: a folder that stays is counted again.
    AdjustTree(path, node, box.MoveResult().moved > 0);
}

void TCleanUpPage::panCleanMenuCompressClick() {
    engine::TFolderNode* node = FolderToActOn();
    if (!node) return;
    const QString path = engine::NodePath(node);
    const engine::TFolderSize* record = node->Record();
    const int64_t total = record ? record->TreeSize : 0;
    const bool withWasted = !optIncludeWastedInformation || optIncludeWastedInformation->Value;
    const int64_t used = record && withWasted ? total + engine::ShownTreeWasted(*record) : total;
    const int32_t cluster = withWasted ? ShownClusterSize(path) : 0;
    bool sourcesTouched = false;
    {
        // The dialog's runs pump events: nothing may change the tree meanwhile.
        const engine::TTreeBusy acting;
        sourcesTouched = ShowArchiveFolderBox(window(), path, total, used, cluster);
    }
    AdjustTree(path, node, sourcesTouched);
}
