#include "controls/FormSelectDrives.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/AppConfiguration.h"
#include "controls/OrbDriveControls.h"
#include "controls/WindowPlacement.h"
#include "desktop/MessageBox.h"
#include "platform/Drives.h"

TDrivesSelectBox::TDrivesSelectBox(QWidget* owner, const QString& programPath) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Scan Drives"));

    auto* intro = new QLabel(QStringLiteral(
        "Quillon Pro will show you detailed information about how your disk space is being "
        "used, but first it has to collect information about your folders and files. This "
        "process is called scanning."));
    intro->setWordWrap(true);
    auto* note = new QLabel(
        QStringLiteral("Note: NO changes will take place on your drives during the scan process."));
    note->setWordWrap(true);

    auto* group = new QGroupBox(QStringLiteral(" Select one or more drives to scan "));
    drivesBox_ = new TOrbDriveCheckListBox(group);
    drivesBox_->setObjectName(QStringLiteral("TheDrivesBox"));
    drivesBox_->setItemHeight(16);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(drivesBox_);

    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    cmdScan_ = button("cmdScan", "&Scan");
    cmdCancel_ = button("cmdCancel", "Cancel");
    cmdSelectAll_ = button("cmdSelectAll", "Select &all");
    cmdFixedDrives_ = button("cmdFixedDrives", "&Fixed drives");
    cmdDeselectAll_ = button("cmdDeselectAll", "&Deselect all");
    cmdSelectAll_->setProperty("tag", 0);
    cmdDeselectAll_->setProperty("tag", 1);
    cmdScan_->setDefault(true);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdScan_, cmdCancel_}) buttons->addWidget(b);
    buttons->addSpacing(12);
    for (QPushButton* b : {cmdSelectAll_, cmdFixedDrives_, cmdDeselectAll_}) buttons->addWidget(b);
    buttons->addStretch();

    auto* lower = new QHBoxLayout;
    lower->addWidget(group, 1);
    lower->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(note);
    layout->addLayout(lower, 1);
    resize(440, 320);

    connect(cmdScan_, &QPushButton::clicked, this, &TDrivesSelectBox::cmdScanClick);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdSelectAll_, &QPushButton::clicked, this, &TDrivesSelectBox::cmdSelectAllClick);
    connect(cmdDeselectAll_, &QPushButton::clicked, this, &TDrivesSelectBox::cmdSelectAllClick);
    connect(cmdFixedDrives_, &QPushButton::clicked, this, &TDrivesSelectBox::cmdFixedDrivesClick);

    // The drive the program runs from starts checked; a program on a network share ("\\srv")
    // or on no drive matches no entry.
    const QChar own = programPath.isEmpty() ? QChar() : programPath[0].toUpper();
    for (int i = 0; i < drivesBox_->count(); ++i) {
        if (drivesBox_->item(i)->text()[0].toUpper() == own) {
            drivesBox_->setChecked(i, true);
            drivesBox_->setCurrentRow(i);
            break;
        }
    }
    CenterOnForm(owner, this);
}

QString TDrivesSelectBox::ProgramPath() {
    return platform::FromHostPath(QCoreApplication::applicationFilePath());
}

void TDrivesSelectBox::cmdSelectAllClick() {
    const bool check = sender()->property("tag").toInt() == 0;
    for (int i = 0; i < drivesBox_->count(); ++i) drivesBox_->setChecked(i, check);
}

void TDrivesSelectBox::cmdFixedDrivesClick() {
    for (int i = 0; i < drivesBox_->count(); ++i) {
        const QString root = drivesBox_->item(i)->text().left(1) + QLatin1String(":\\");
        if (platform::GetDriveType(root) == platform::DriveType::Fixed)
            drivesBox_->setChecked(i, true);
    }
}

void TDrivesSelectBox::cmdScanClick() {
    // Closing on nothing would leave the user with an empty window and no word why.
    if (drivesBox_->CheckedDrives().isEmpty()) {
        desktop::ShowMessage(this, {QStringLiteral("Scan Drives"), kNothingTicked,
                                    desktop::MessageIcon::Information, desktop::Ok});
        drivesBox_->setFocus();
        return;
    }
    scanChosen_ = true;
    accept();
}
