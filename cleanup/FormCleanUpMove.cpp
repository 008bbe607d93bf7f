#include "cleanup/FormCleanUpMove.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "config/AppConfiguration.h"
#include "controls/FilCtl95.h"
#include "controls/FileOperationDialogs.h"
#include "controls/WindowPlacement.h"
#include "desktop/Guarded.h"
#include "desktop/MessageBox.h"
#include "desktop/Shell.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/Drives.h"

namespace {

// The tree wasted space of the record at cluster size c: the stored value for a reference
// size, and 0 for any other size, so that moving there gains the whole wasted space.
int64_t TreeWastedAtSize(const engine::TFolderSize& record, int32_t c) {
    for (int i = 0; i < engine::kReferenceClusterSizeCount; ++i) {
        if (engine::ReferenceClusterSizes[size_t(i)] == c)
            return engine::TreeWastedAt(record, i + 1);
    }
    return 0;
}

QString DriveRootOf(QChar letter) {
    return QString(letter) + QLatin1String(":\\");
}

}  // namespace

TCleanUpMoveFolderBox::TCleanUpMoveFolderBox(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Move Folder"));

    ediFolderSource_ = new QLineEdit;
    ediFolderSource_->setObjectName(QStringLiteral("ediFolderSource"));
    ediFolderSource_->setReadOnly(true);
    QPalette face = ediFolderSource_->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    ediFolderSource_->setPalette(face);
    auto* sourceCaption = new QLabel(QStringLiteral("Move folder:"));

    auto* group = new QGroupBox;
    txtWastedOnSource_ = new QLabel;
    txtWastedOnSource_->setObjectName(QStringLiteral("txtWastedOnSource"));
    txtWastedOnSource_->setWordWrap(true);
    auto* picture = new QLabel;
    // Some styles have the picture only small: it is shown at one size.
    picture->setPixmap(style()
                           ->standardIcon(QStyle::SP_DriveHDIcon)
                           .pixmap(32, 32)
                           .scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    picture->setAlignment(Qt::AlignTop);
    auto* advice = new QLabel(
        QStringLiteral("You should move the folder to one of the following drives, as they have "
                       "smaller cluster sizes:"));
    advice->setWordWrap(true);
    lvWasting_ = new QTreeWidget;
    lvWasting_->setObjectName(QStringLiteral("lvWasting"));
    lvWasting_->setHeaderLabels(
        {QStringLiteral("Drive"), QStringLiteral("Cluster"), QStringLiteral("You gain")});
    lvWasting_->setRootIsDecorated(false);
    lvWasting_->setItemsExpandable(false);
    lvWasting_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvWasting_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvWasting_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvWasting_->setIconSize(desktop::ShellIconSize(desktop::IconSize::Small));
    QHeaderView* header = lvWasting_->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    // Drive names here are mount paths, longer than a letter and a label: the first column
    // takes the room the other two leave.
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setMinimumSectionSize(60);
    header->resizeSection(1, 120);
    header->resizeSection(2, 120);
    lvWasting_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    lvWasting_->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    lvWasting_->setMinimumHeight(90);
    auto* texts = new QVBoxLayout;
    texts->addWidget(txtWastedOnSource_);
    texts->addWidget(advice);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(texts, 1);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(top);
    groupLayout->addWidget(lvWasting_, 1);

    ediFolderTarget_ = new QLineEdit;
    ediFolderTarget_->setObjectName(QStringLiteral("ediFolderTarget"));
    auto* targetCaption = new QLabel(QStringLiteral("To the following &new location:"));
    targetCaption->setBuddy(ediFolderTarget_);
    cbDrives_ = new TDrive95ComboBox;
    cbDrives_->setObjectName(QStringLiteral("cbDrives"));
    lbFolders_ = new TDirectory95ListBox;
    lbFolders_->setObjectName(QStringLiteral("lbFolders"));
    lbFolders_->setMinimumHeight(140);

    auto* important = new QLabel(
        QStringLiteral("IMPORTANT: Before moving the folder, make sure that all applications that "
                       "use it will continue to work properly even if you move the folder."));
    important->setWordWrap(true);
    QFont bold = important->font();
    bold.setBold(true);
    important->setFont(bold);
    ediNote_ = new QPlainTextEdit;
    ediNote_->setObjectName(QStringLiteral("ediNote"));
    ediNote_->setReadOnly(true);
    ediNote_->setPlainText(
        QStringLiteral("Note: If the folder contains an installed application, you should "
                       "uninstall the application and install it to \n"
                       "the new location. Some folders can also be moved by the application that "
                       "uses them."));
    QPalette noteFace = ediNote_->palette();
    noteFace.setColor(QPalette::Base, noteFace.color(QPalette::Button));
    ediNote_->setPalette(noteFace);

    ediNote_->setFixedHeight(ediNote_->fontMetrics().lineSpacing() * 3 +
                             2 * ediNote_->frameWidth() + 8);

    auto* folders = new QVBoxLayout;
    folders->addWidget(cbDrives_);
    folders->addWidget(lbFolders_, 1);
    auto* lower = new QHBoxLayout;
    lower->addLayout(folders, 3);
    lower->addWidget(important, 2, Qt::AlignTop);

    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    cmdOK_ = button("cmdOK", "OK");
    cmdCancel_ = button("cmdCancel", "Cancel");
    cmdHelp_ = button("cmdHelp", "Help");
    cmdOK_->setDefault(true);
    cmdOK_->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {cmdOK_, cmdCancel_, cmdHelp_}) buttons->addWidget(b);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sourceCaption);
    layout->addWidget(ediFolderSource_);
    layout->addWidget(group, 1);
    layout->addWidget(targetCaption);
    layout->addWidget(ediFolderTarget_);
    layout->addLayout(lower, 1);
    layout->addWidget(ediNote_);
    layout->addLayout(buttons);
    // Wide enough for the note's first line, as it was written.
    resize(std::max(560, ediNote_->fontMetrics().horizontalAdvance(
                             ediNote_->toPlainText().section(u'\n', 0, 0)) +
                             60),
           600);
    setTabOrder(lvWasting_, ediFolderTarget_);
    setTabOrder(ediFolderTarget_, cbDrives_);
    setTabOrder(cbDrives_, lbFolders_);
    setTabOrder(lbFolders_, cmdOK_);
    setTabOrder(cmdOK_, cmdCancel_);
    setTabOrder(cmdCancel_, cmdHelp_);
    setTabOrder(cmdHelp_, ediFolderSource_);
    setTabOrder(ediFolderSource_, ediNote_);
    lvWasting_->setFocus();

    desktop::Connect(lvWasting_, &QTreeWidget::itemSelectionChanged, this,
                     &TCleanUpMoveFolderBox::lvWastingChange);
    // A click on the entry already selected takes the target back to its drive as well.
    desktop::Connect(lvWasting_, &QTreeWidget::itemClicked, this,
                     &TCleanUpMoveFolderBox::lvWastingChange);
    desktop::Connect(cbDrives_, &TDrive95ComboBox::OnChange, this,
                     &TCleanUpMoveFolderBox::cbDrivesChange);
    desktop::Connect(lbFolders_, &TDirectory95ListBox::OnChange, this,
                     &TCleanUpMoveFolderBox::lbFoldersChange);
    desktop::Connect(ediFolderTarget_, &QLineEdit::textChanged, this,
                     &TCleanUpMoveFolderBox::ediFolderTargetChange);
    desktop::Connect(cmdOK_, &QPushButton::clicked, this, &TCleanUpMoveFolderBox::cmdOKClick);
    desktop::Connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
    desktop::Connect(cmdHelp_, &QPushButton::clicked, this, &TCleanUpMoveFolderBox::cmdHelpClick);
    CenterOnForm(owner, this);
}

void TCleanUpMoveFolderBox::SetSource(const QString& path) {
    source_ = path;
    ediFolderSource_->setText(path);
    ediFolderTargetChange();
}

void TCleanUpMoveFolderBox::SetWastedText(const QString& text) {
    txtWastedOnSource_->setText(text);
}

void TCleanUpMoveFolderBox::FillBetterDrives(const engine::TFolderSize& record) {
    lvWasting_->clear();
    if (source_.isEmpty()) return;
    const int32_t sourceCluster = engine::ClusterSize(DriveRootOf(source_[0]));
    const uint32_t mask = platform::LogicalDrives();
    desktop::ShellIconList& icons = desktop::ShellIconList::Instance();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        const QChar letter(u'a' + i);
        const QString root = DriveRootOf(letter);
        const platform::DriveType type = platform::GetDriveType(root);
        if (type == platform::DriveType::Removable || type == platform::DriveType::CdRom) continue;
        const int32_t c = engine::ClusterSize(root);
        if (c < 0 || c >= sourceCluster) continue;
        const int64_t gain = engine::ShownTreeWasted(record) - TreeWastedAtSize(record, c);
        auto* item = new QTreeWidgetItem(
            lvWasting_,
            {desktop::ShellDisplayName(root), engine::SmallSizeText(c), engine::SizeText(gain)});
        item->setIcon(0, icons.Icon(icons.IndexOf(root)));
        item->setData(0, Qt::UserRole, QString(letter));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void TCleanUpMoveFolderBox::lvWastingChange() {
    const QList<QTreeWidgetItem*> selected = lvWasting_->selectedItems();
    if (selected.isEmpty()) return;
    const QChar letter = selected.front()->data(0, Qt::UserRole).toString().at(0);
    // The drive box already on that drive changes nothing by itself: the target still follows.
    if (cbDrives_->Drive().toUpper() == letter.toUpper())
        cbDrivesChange();
    else
        cbDrives_->setDrive(letter);
}

void TCleanUpMoveFolderBox::cbDrivesChange() {
    const QChar letter = cbDrives_->Drive();
    if (lbFolders_->setDrive(letter) == platform::ChangeDirectoryResult::IoError) {
        desktop::ShowMessage(
            this, {QCoreApplication::applicationName(),
                   QString(letter.toLower()) +
                       QStringLiteral(": is not accessible. The drive door may not be closed or "
                                      "the network connection may be down. Please try to "
                                      "correct this error and retry."),
                   desktop::MessageIcon::Error, desktop::Ok});
        const QSignalBlocker quiet(cbDrives_);
        cbDrives_->setDrive(lbFolders_->Drive());
    }
    lbFoldersChange();
}

void TCleanUpMoveFolderBox::lbFoldersChange() {
    // The folder keeps its name under the folder chosen.
    const QString name = source_.mid(source_.lastIndexOf(u'\\') + 1);
    ediFolderTarget_->setText(engine::AddBackslash(lbFolders_->Directory()) + name);
}

void TCleanUpMoveFolderBox::ediFolderTargetChange() {
    // An empty target is no place to move to.
    const QString target = ediFolderTarget_->text();
    cmdOK_->setEnabled(!target.isEmpty() && target != source_);
}

void TCleanUpMoveFolderBox::cmdOKClick() {
    QString target = ediFolderTarget_->text();
    // A host path typed in ("/media/ann/usb/Old") stands for its drive's path.
    if (target.startsWith(u'/')) {
        const QString program = platform::FromHostPath(target);
        if (!program.isEmpty()) target = program;
    }
    result_ = MoveFolder(this, source_, target, 0, moveCallbacks_);
    accept();
}

void TCleanUpMoveFolderBox::cmdHelpClick() {
    emit HelpRequested(HelpContext);
}
