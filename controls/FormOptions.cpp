#include "controls/FormOptions.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "controls/HelpWindow.h"
#include "controls/Helpers.h"
#include "controls/OrbDriveControls.h"
#include "controls/WindowPlacement.h"
#include "desktop/DesktopIntegration.h"
#include "desktop/Guarded.h"
#include "desktop/MessageBox.h"
#include "draw/SystemColors.h"
#include "platform/Drives.h"

namespace {

constexpr int kHelpTopic = 4040;
// The folder verb's caption in the file manager's menu.
const QString kVerbCaption = QStringLiteral("Analyze with Quillon Pro");
// The thresholds' defaults in degrees: files, folders, texts.
constexpr double kDefaultAngles[] = {2.0, 1.0, 5.0};

}  // namespace

// --- the colour panel ---

TColorPanel::TColorPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    setCursor(Qt::PointingHandCursor);
}

void TColorPanel::setColor(const QColor& color) {
    QPalette colors = palette();
    colors.setColor(QPalette::Window, color);
    setPalette(colors);
}

QColor TColorPanel::Color() const {
    return palette().color(QPalette::Window);
}

void TColorPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFrameShadow(QFrame::Sunken);
    repaint();  // looks pressed now, not once the events are through
}

void TColorPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFrameShadow(QFrame::Raised);
    repaint();
    if (rect().contains(event->position().toPoint())) emit Click();
}

// --- the dialog ---

const QStringList& TOptionsBox::ColorCaptions() {
    static const QStringList captions = {
        QStringLiteral("Pie - Background"),
        QStringLiteral("Pie - Lines"),
        QStringLiteral("Pie - Normal Folder"),
        QStringLiteral("Pie - Files in current folder"),
        QStringLiteral("Pie - Other folders"),
        QStringLiteral("Pie - File"),
        QStringLiteral("Pie - Other files"),
        QStringLiteral("Pie - Text rect background"),
        QStringLiteral("Pie - Text rect lines"),
        QStringLiteral("Pie - Text"),
        QStringLiteral("Pie - Text rect background (highlighted)"),
        QStringLiteral("Pie - Text rect lines (highlighted)"),
        QStringLiteral("Pie - Text (highlighted)"),
        QStringLiteral("Not scanned panel"),
        QStringLiteral("Pie - Section Size"),
        QStringLiteral("Pie - Section Wasted"),
        QStringLiteral("Pie - Free space"),
        QStringLiteral("Tree Bar Chart - Bars Color"),
    };
    return captions;
}

QString TOptionsBox::PercentText(double angle) {
    return QLocale().toString(angle * 100 / 360, 'f', 3);
}

TOptionsBox::TOptionsBox(QWidget* owner, const QString& programHostPath)
    : QDialog(owner), programHostPath_(programHostPath) {
    setObjectName(QStringLiteral("OptionsBox"));
    setWindowTitle(QStringLiteral("Options"));
    // A fixed frame with a close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    CreateControls();
    LayOut();
    FormCreate();
}

void TOptionsBox::CreateControls() {
    lbColors = new QListWidget;
    lbColors->setObjectName(QStringLiteral("lbColors"));
    lbColors->addItems(ColorCaptions());
    capColor = new QLabel(QStringLiteral("Color"));
    TheColorButton = new TColorPanel;
    TheColorButton->setObjectName(QStringLiteral("TheColorButton"));
    TheColorButton->setFixedSize(96, 40);
    cmdDefaultColors = new QPushButton(QStringLiteral("&Default colors"));

    TheDrivesBox = new TOrbDriveCheckListBox;
    TheDrivesBox->setObjectName(QStringLiteral("TheDrivesBox"));

    chkIncludeWastedInformation = new QCheckBox(QStringLiteral("Include &wasted space"));
    chkShowFileNames = new QCheckBox(QStringLiteral("Show file&names"));
    chkAutoExpand = new QCheckBox(QStringLiteral("Auto &Expand"));
    chkAutoCollapse = new QCheckBox(QStringLiteral("Auto &Collapse"));
    chkCountHardLinksOnce = new QCheckBox(QStringLiteral("Count hard-linked files &once"));
    chkCountHardLinksOnce->setToolTip(
        QStringLiteral("A file with several names is counted in the first folder a scan meets "
                       "it in, as du counts it. Takes effect at the next scan."));
    chkKeepFileDetails = new QCheckBox(QStringLiteral("Keep file &details"));
    chkKeepFileDetails->setObjectName(QStringLiteral("chkKeepFileDetails"));
    chkKeepFileDetails->setToolTip(
        QStringLiteral("Scans keep every file's name, size, space on disk, dates and type, for "
                       "the largest files, the file types and Find in Scan (about 50 bytes a "
                       "file). Takes effect at the next scan."));

    auto edit = [](const char* name) {
        auto* e = new QLineEdit;
        e->setObjectName(QLatin1String(name));
        e->setAlignment(Qt::AlignRight);
        e->setFixedWidth(72);
        return e;
    };
    ediMinFileSection = edit("ediMinFileSection");
    ediMinFolderSection = edit("ediMinFolderSection");
    ediMinTextSection = edit("ediMinTextSection");
    cmdDefaultValues = new QPushButton(QStringLiteral("Default &values"));

    cmdOK = new QPushButton(QStringLiteral("OK"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    cmdHelp = new QPushButton(QStringLiteral("Help"));
    cmdOK->setDefault(true);

    chkExplorerMenu = new QCheckBox(QStringLiteral("Quillon Pro in the Explorer context"));
    chkExplorerMenu->setObjectName(QStringLiteral("chkExplorerMenu"));
    capExplorerMenu = new QLabel(QStringLiteral("menu"));
    capExplorerMenu->installEventFilter(this);  // a click on it is a click on the check box
    lbColors->installEventFilter(this);         // Enter on an entry opens the colour dialog

    TheColorDialog = new QColorDialog(this);
    TheColorDialog->setObjectName(QStringLiteral("TheColorDialog"));
    TheColorDialog->setOption(QColorDialog::DontUseNativeDialog);

    desktop::Connect(lbColors, &QListWidget::currentRowChanged, this, &TOptionsBox::lbColorsClick);
    desktop::Connect(lbColors, &QListWidget::itemDoubleClicked, this,
                     &TOptionsBox::TheColorButtonClick);
    desktop::Connect(TheColorButton, &TColorPanel::Click, this, &TOptionsBox::TheColorButtonClick);
    desktop::Connect(cmdDefaultColors, &QPushButton::clicked, this,
                     &TOptionsBox::cmdDefaultColorsClick);
    desktop::Connect(cmdDefaultValues, &QPushButton::clicked, this,
                     &TOptionsBox::cmdDefaultValuesClick);
    desktop::Connect(cmdOK, &QPushButton::clicked, this, &TOptionsBox::cmdOKClick);
    desktop::Connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    desktop::Connect(cmdHelp, &QPushButton::clicked, this, &TOptionsBox::cmdHelpClick);
}

void TOptionsBox::LayOut() {
    auto* colors = new QGroupBox(QStringLiteral(" Co&lors "));
    auto* colorSide = new QVBoxLayout;
    colorSide->addWidget(capColor);
    colorSide->addWidget(TheColorButton);
    colorSide->addStretch();
    colorSide->addWidget(cmdDefaultColors);
    auto* colorsLayout = new QHBoxLayout(colors);
    lbColors->setMinimumWidth(lbColors->sizeHintForColumn(0) + 2 * lbColors->frameWidth() +
                              style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
    lbColors->setFixedHeight(160);
    colorsLayout->addWidget(lbColors, 1);
    colorsLayout->addLayout(colorSide);

    auto* drives = new QGroupBox(QStringLiteral(" Scan the following drives on &start-up "));
    auto* drivesLayout = new QVBoxLayout(drives);
    TheDrivesBox->setFixedHeight(160);
    drivesLayout->addWidget(TheDrivesBox);

    auto* preferences = new QGroupBox(QStringLiteral(" Preferences "));
    auto* preferencesLayout = new QVBoxLayout(preferences);
    for (QCheckBox* box : {chkIncludeWastedInformation, chkShowFileNames, chkAutoExpand,
                           chkAutoCollapse, chkCountHardLinksOnce, chkKeepFileDetails})
        preferencesLayout->addWidget(box);
    preferencesLayout->addStretch();

    auto* pie = new QGroupBox(QStringLiteral(" Pie "));
    auto* pieLayout = new QGridLayout(pie);
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"Show &files larger than", ediMinFileSection},
        {"Show folde&rs larger than", ediMinFolderSection},
        {"Show &text near sections larger than", ediMinTextSection},
    };
    int row = 0;
    for (const auto& [caption, edit] : rows) {
        auto* label = new QLabel(QString::fromUtf8(caption));
        label->setBuddy(edit);
        pieLayout->addWidget(label, row, 0);
        pieLayout->addWidget(edit, row, 1);
        pieLayout->addWidget(new QLabel(QStringLiteral("% of parent")), row, 2);
        ++row;
    }
    pieLayout->addWidget(cmdDefaultValues, row, 0, 1, 3, Qt::AlignRight);
    pieLayout->setColumnStretch(0, 1);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdOK, cmdCancel, cmdHelp}) buttons->addWidget(b);
    buttons->addStretch();

    auto* verb = new QVBoxLayout;
    verb->setSpacing(0);
    verb->addWidget(chkExplorerMenu);
    auto* continued = new QHBoxLayout;
    // The caption's second line starts where the first one's text does.
    continued->addSpacing(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                          style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
    continued->addWidget(capExplorerMenu);
    continued->addStretch();
    verb->addLayout(continued);

    auto* grid = new QGridLayout(this);
    grid->addWidget(colors, 0, 0);
    grid->addWidget(drives, 0, 1);
    grid->addWidget(preferences, 1, 0);
    grid->addWidget(pie, 1, 1);
    grid->addLayout(verb, 2, 0, 1, 2);
    grid->addLayout(buttons, 0, 2, 3, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* order[] = {lbColors,
                        cmdDefaultColors,
                        TheDrivesBox,
                        chkIncludeWastedInformation,
                        chkShowFileNames,
                        chkAutoExpand,
                        chkAutoCollapse,
                        chkCountHardLinksOnce,
                        chkKeepFileDetails,
                        ediMinFileSection,
                        ediMinFolderSection,
                        ediMinTextSection,
                        cmdDefaultValues,
                        cmdOK,
                        cmdCancel,
                        cmdHelp,
                        chkExplorerMenu};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TOptionsBox::FormCreate() {
    accepted_ = false;
    SetHelpContext(this, kHelpTopic);
    EditColors = AppColors;
    lbColors->setCurrentRow(0);
    lbColorsClick();

    chkIncludeWastedInformation->setChecked(optIncludeWastedInformation->Value);
    chkShowFileNames->setChecked(optShowFileNames->Value);
    chkAutoExpand->setChecked(optAutoExpand->Value);
    chkAutoCollapse->setChecked(optAutoCollapse->Value);
    chkCountHardLinksOnce->setChecked(optCountHardLinksOnce->Value);
    chkKeepFileDetails->setChecked(optKeepFileDetails->Value);

    ediMinFileSection->setText(PercentText(MinFileSectionAngle));
    ediMinFolderSection->setText(PercentText(MinFolderSectionAngle));
    ediMinTextSection->setText(PercentText(MinTextSectionAngle));

    // The drive the program runs from is highlighted; its letter is the program path's first.
    const QString programPath = platform::FromHostPath(programHostPath_);
    const QChar own = programPath.isEmpty() ? QChar() : programPath[0].toUpper();
    for (int i = 0; i < TheDrivesBox->count(); ++i) {
        if (TheDrivesBox->item(i)->text()[0].toUpper() == own) {
            TheDrivesBox->setCurrentRow(i);
            break;
        }
    }
    for (const QChar letter : optDrivesToAutoScan->Value.toUpper()) {
        for (int i = 0; i < TheDrivesBox->count(); ++i)
            if (TheDrivesBox->item(i)->text()[0] == letter) TheDrivesBox->setChecked(i, true);
    }

    chkExplorerMenu->setChecked(desktop::FolderVerbExists());
    CenterOnForm(parentWidget(), this);
}

void TOptionsBox::lbColorsClick() {
    const int index = lbColors->currentRow();
    if (index < 0 || index >= AppColorCount) return;
    TheColorButton->setColor(draw::ColorToQColor(EditColors[size_t(index)]));
}

void TOptionsBox::TheColorButtonClick() {
    const int index = lbColors->currentRow();
    if (index < 0 || index >= AppColorCount) return;
    TheColorDialog->setCurrentColor(draw::ColorToQColor(EditColors[size_t(index)]));
    if (desktop::RunModal(*TheColorDialog) != QDialog::Accepted) return;
    EditColors[size_t(index)] = draw::QColorToColor(TheColorDialog->currentColor());
    lbColorsClick();
}

void TOptionsBox::cmdDefaultColorsClick() {
    EditColors = DefaultAppColors;
    lbColorsClick();
}

void TOptionsBox::cmdDefaultValuesClick() {
    ediMinFileSection->setText(PercentText(kDefaultAngles[0]));
    ediMinFolderSection->setText(PercentText(kDefaultAngles[1]));
    ediMinTextSection->setText(PercentText(kDefaultAngles[2]));
}

bool TOptionsBox::ApplyThreshold(const QLineEdit* edit, double& angle) {
    bool number = false;
    const double value = QLocale().toDouble(edit->text(), &number);
    const double candidate = value * 360 * 0.01;
    // Written so that a text that gives no number at all (nan) fails too.
    if (number && candidate >= 0 && candidate <= 360) {
        angle = candidate;
        return true;
    }
    desktop::ShowMessage(this, {QStringLiteral("Quillon Pro"),
                                edit->text() + " is not a valid positive value between 0 and 360",
                                desktop::MessageIcon::Error, desktop::Ok});
    return false;
}

void TOptionsBox::cmdOKClick() {
    accepted_ = true;
    optIncludeWastedInformation->Value = chkIncludeWastedInformation->isChecked();
    optShowFileNames->Value = chkShowFileNames->isChecked();
    optAutoExpand->Value = chkAutoExpand->isChecked();
    optAutoCollapse->Value = chkAutoCollapse->isChecked();
    optCountHardLinksOnce->Value = chkCountHardLinksOnce->isChecked();
    optKeepFileDetails->Value = chkKeepFileDetails->isChecked();
    optDrivesToAutoScan->Value = TheDrivesBox->CheckedDrives();
    if (!ApplyThreshold(ediMinFileSection, MinFileSectionAngle) ||
        !ApplyThreshold(ediMinFolderSection, MinFolderSectionAngle) ||
        !ApplyThreshold(ediMinTextSection, MinTextSectionAngle))
        return;
    AppColors = EditColors;
    if (chkExplorerMenu->isChecked()) {
        // The boundary shows the message; the dialog stays open with everything above applied.
        if (!desktop::WriteFolderVerb(kVerbCaption, programHostPath_).isEmpty())
            throw std::runtime_error("Error creating system registry entry");
    } else {
        desktop::RemoveFolderVerb();
    }
    accept();
}

void TOptionsBox::cmdHelpClick() {
    ShowHelpTopic(this, kHelpTopic);
}

bool TOptionsBox::eventFilter(QObject* watched, QEvent* event) {
    return desktop::GuardedHandler([&] {
        if (watched == capExplorerMenu && event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            chkExplorerMenu->toggle();
        if (watched == lbColors && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                TheColorButtonClick();
                return true;
            }
        }
        return QDialog::eventFilter(watched, event);
    });
}
