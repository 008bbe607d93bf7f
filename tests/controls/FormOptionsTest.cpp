// The Options dialog on its own: what it shows when it opens, what OK applies and in which order,
// the thresholds it refuses, the colours, the start-up drives and the folder verb.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <cmath>

#include "config/AppConfiguration.h"
#include "controls/FormOptions.h"
#include "controls/HelpWindow.h"
#include "controls/Helpers.h"
#include "controls/OrbDriveControls.h"
#include "desktop/DesktopIntegration.h"
#include "desktop/MessageBox.h"
#include "draw/SystemColors.h"
#include "tests/fixtures/SettingsHome.h"
#include "tests/fixtures/TempTree.h"

using desktop::MessageRequest;
using testing_support::DriveMapScope;
using testing_support::TempTree;

namespace {

QString VerbText() {
    QFile file(desktop::FolderVerbPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Two drives, S and T; the program lives on T.
class OptionsBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadSettings();  // every setting at its default
        desktop::RemoveFolderVerb();
        desktop::SetMessageAnswerer([this](const MessageRequest& r) {
            boxes.push_back(r);
            return desktop::Ok;
        });
    }
    void TearDown() override {
        desktop::SetMessageAnswerer({});
        desktop::SetDialogRunner({});
        desktop::RemoveFolderVerb();
        (void)SaveSettings();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    QString Program() const { return t.host("bin/quillon"); }
    // The row of a drive letter in the dialog's drive list.
    static int RowOf(const TOptionsBox& box, QChar letter) {
        for (int i = 0; i < box.TheDrivesBox->count(); ++i)
            if (box.TheDrivesBox->item(i)->text()[0] == letter) return i;
        return -1;
    }

    SettingsHome home;
    TempTree s, t;
    DriveMapScope drives{"S=" + s.host() + ";T=" + t.host()};
    std::vector<MessageRequest> boxes;
};

}  // namespace

TEST_F(OptionsBoxTest, OpensWithTheSettingsTheProgramsDriveAndTheVerbAsFound) {
    optIncludeWastedInformation->Value = false;
    optShowFileNames->Value = true;
    optAutoExpand->Value = false;
    optAutoCollapse->Value = true;
    optCountHardLinksOnce->Value = true;
    optDrivesToAutoScan->Value = "s";  // compared in upper case
    MinFileSectionAngle = 36;
    AppColors[0] = draw::RGBColor(10, 20, 30);
    {
        TOptionsBox box(nullptr, Program());
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Options"));
        EXPECT_FALSE(box.Accepted());
        EXPECT_EQ(HelpContextOf(&box), 4040);
        EXPECT_EQ(box.lbColors->count(), 18);
        EXPECT_EQ(box.lbColors->item(17)->text(), QStringLiteral("Tree Bar Chart - Bars Color"));
        EXPECT_EQ(box.lbColors->currentRow(), 0);
        EXPECT_EQ(box.TheColorButton->Color(), QColor(10, 20, 30));
        EXPECT_EQ(box.EditColors, AppColors);
        EXPECT_FALSE(box.chkIncludeWastedInformation->isChecked());
        EXPECT_TRUE(box.chkShowFileNames->isChecked());
        EXPECT_FALSE(box.chkAutoExpand->isChecked());
        EXPECT_TRUE(box.chkAutoCollapse->isChecked());
        EXPECT_TRUE(box.chkCountHardLinksOnce->isChecked());
        EXPECT_EQ(box.ediMinFileSection->text(), QStringLiteral("10.000"));
        EXPECT_EQ(box.ediMinFolderSection->text(), QStringLiteral("0.278"));
        EXPECT_EQ(box.ediMinTextSection->text(), QStringLiteral("1.389"));
        EXPECT_EQ(box.TheDrivesBox->currentRow(), RowOf(box, 'T'));  // the program's drive
        EXPECT_EQ(box.TheDrivesBox->CheckedDrives(), QStringLiteral("S"));
        EXPECT_FALSE(box.chkExplorerMenu->isChecked());
    }
    ASSERT_EQ(desktop::WriteFolderVerb("Analyze with Quillon Pro", Program()), QString());
    TOptionsBox box(nullptr, Program());
    EXPECT_TRUE(box.chkExplorerMenu->isChecked());
}

TEST_F(OptionsBoxTest, EveryControlCarriesItsCaptionAndAccessKeyInTabOrder) {
    TOptionsBox box(nullptr, Program());
    QStringList groups;
    for (const QGroupBox* group : box.findChildren<QGroupBox*>()) groups << group->title();
    EXPECT_EQ(groups, (QStringList{" Co&lors ", " Scan the following drives on &start-up ",
                                   " Preferences ", " Pie "}));
    QStringList labels;
    for (const QLabel* label : box.findChildren<QLabel*>()) labels << label->text();
    for (const char* text : {"Color", "Show &files larger than", "Show folde&rs larger than",
                             "Show &text near sections larger than", "% of parent", "menu"})
        EXPECT_TRUE(labels.contains(QLatin1String(text))) << text;

    QStringList order;
    QWidget* w = box.lbColors;
    do {
        const auto* b = qobject_cast<QAbstractButton*>(w);
        if (w->window() == &box)  // not the colour dialog's own controls
            order << (b ? b->text() : w->objectName());
        w = w->nextInFocusChain();
    } while (w != box.lbColors && order.size() < 40);
    const QStringList expected = {"lbColors",
                                  "&Default colors",
                                  "TheDrivesBox",
                                  "Include &wasted space",
                                  "Show file&names",
                                  "Auto &Expand",
                                  "Auto &Collapse",
                                  "Count hard-linked files &once",
                                  "ediMinFileSection",
                                  "ediMinFolderSection",
                                  "ediMinTextSection",
                                  "Default &values",
                                  "OK",
                                  "Cancel",
                                  "Help",
                                  "Quillon Pro in the Explorer context"};
    QStringList focusable;  // the chain also passes widgets that take no focus
    for (const QString& name : order)
        if (expected.contains(name)) focusable << name;
    EXPECT_EQ(focusable, expected);
    EXPECT_TRUE(box.cmdOK->isDefault());

    box.cmdDefaultValues->click();
    box.ediMinFileSection->setText("9");
    box.cmdDefaultValues->click();
    EXPECT_EQ(box.ediMinFileSection->text(), QStringLiteral("0.556"));
    EXPECT_EQ(box.ediMinFolderSection->text(), QStringLiteral("0.278"));
    EXPECT_EQ(box.ediMinTextSection->text(), QStringLiteral("1.389"));
}

TEST_F(OptionsBoxTest, ThresholdsFromZeroToAHundredPercentAreTakenAndAnythingElseRefused) {
    const struct {
        const char* text;
        bool taken;
        double angle;
    } cases[] = {
        {"100", true, 360.0}, {"0", true, 0.0},     {"50", true, 180.0}, {" 25 ", true, 90.0},
        {"100.1", false, 0},  {"-0.001", false, 0}, {"abc", false, 0},   {"", false, 0},
        {"nan", false, 0},    {"inf", false, 0},    {"1e3", false, 0},   {"0.556", true, 2.0016},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        MinFileSectionAngle = 2.0;
        boxes.clear();
        TOptionsBox box(nullptr, Program());
        box.ediMinFileSection->setText(QString::fromUtf8(c.text));
        box.cmdOK->click();
        EXPECT_TRUE(box.Accepted());
        if (c.taken) {
            EXPECT_TRUE(boxes.empty());
            EXPECT_NEAR(MinFileSectionAngle, c.angle, 1e-9);
            EXPECT_EQ(box.result(), int(QDialog::Accepted));
            continue;
        }
        EXPECT_EQ(MinFileSectionAngle, 2.0);
        EXPECT_NE(box.result(), int(QDialog::Accepted));  // still open
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text,
                  QString::fromUtf8(c.text) + " is not a valid positive value between 0 and 360");
        EXPECT_EQ(boxes[0].caption, QStringLiteral("Quillon Pro"));
        EXPECT_EQ(boxes[0].icon, desktop::MessageIcon::Error);
        EXPECT_EQ(boxes[0].buttons, desktop::MessageButtons(desktop::Ok));
    }
}

TEST_F(OptionsBoxTest, ARefusedSecondThresholdLeavesTheFirstAndTheStepsBeforeItApplied) {
    AppColors = DefaultAppColors;
    TOptionsBox box(nullptr, Program());
    box.chkIncludeWastedInformation->setChecked(false);
    box.TheDrivesBox->setChecked(RowOf(box, 'S'), true);
    box.ediMinFileSection->setText("10");
    box.ediMinFolderSection->setText("abc");
    box.ediMinTextSection->setText("20");
    box.EditColors[1] = draw::clRed;
    box.chkExplorerMenu->setChecked(true);
    box.cmdOK->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith("abc is not a valid"));
    EXPECT_FALSE(optIncludeWastedInformation->Value);
    EXPECT_EQ(optDrivesToAutoScan->Value, QStringLiteral("S"));
    EXPECT_NEAR(MinFileSectionAngle, 36.0, 1e-9);
    EXPECT_EQ(MinFolderSectionAngle, 1.0);
    EXPECT_EQ(MinTextSectionAngle, 5.0);
    EXPECT_EQ(AppColors, DefaultAppColors);     // the colours come after the thresholds
    EXPECT_FALSE(desktop::FolderVerbExists());  // and the verb after the colours
    box.cmdCancel->click();
    EXPECT_EQ(box.result(), int(QDialog::Rejected));
    EXPECT_TRUE(box.Accepted());  // the window applies what OK did before it stopped
}

TEST_F(OptionsBoxTest, ThresholdsReadAndWriteTheLocalesDecimalSeparator) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TOptionsBox box(nullptr, Program());
    EXPECT_EQ(box.ediMinFileSection->text(), QStringLiteral("0,556"));
    box.ediMinTextSection->setText("12,5");
    box.cmdOK->click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_NEAR(MinTextSectionAngle, 45.0, 1e-9);
}

TEST_F(OptionsBoxTest, OkRewritesTheVerbForTheProgramWhereItIsNowAndAClearedBoxRemovesIt) {
    // A verb left by a copy of the program that has since moved.
    ASSERT_EQ(desktop::WriteFolderVerb("Analyze with Quillon Pro", "/old/place/quillon"),
              QString());
    {
        TOptionsBox box(nullptr, Program());
        ASSERT_TRUE(box.chkExplorerMenu->isChecked());
        box.cmdOK->click();  // nothing changed
        EXPECT_EQ(box.result(), int(QDialog::Accepted));
    }
    const QString text = VerbText();
    EXPECT_FALSE(text.contains("/old/place"));
    EXPECT_TRUE(text.contains("\nExec=\"" + Program() + "\" %f\n")) << text.toStdString();
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start("desktop-file-validate", {desktop::FolderVerbPath()});
    ASSERT_TRUE(validate.waitForFinished(30000));
    EXPECT_EQ(validate.exitCode(), 0);
    EXPECT_EQ(validate.readAll().trimmed(), QByteArray());

    TOptionsBox box(nullptr, Program());
    box.chkExplorerMenu->setChecked(false);
    box.cmdOK->click();
    EXPECT_FALSE(desktop::FolderVerbExists());
    // Clicking the caption's second line works the check box too.
    TOptionsBox again(nullptr, Program());
    QTest::mouseClick(again.capExplorerMenu, Qt::LeftButton);
    EXPECT_TRUE(again.chkExplorerMenu->isChecked());
    again.cmdOK->click();
    EXPECT_TRUE(desktop::FolderVerbExists());
}

TEST_F(OptionsBoxTest, AVerbThatCannotBeWrittenIsReportedWithTheSettingsKept) {
    const QString applications = QFileInfo(desktop::FolderVerbPath()).absolutePath();
    QDir(applications).removeRecursively();
    QDir().mkpath(QFileInfo(applications).absolutePath());
    QFile blocker(applications);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TOptionsBox box(nullptr, Program());
    box.chkAutoExpand->setChecked(false);
    box.EditColors[5] = draw::clRed;
    box.chkExplorerMenu->setChecked(true);
    box.cmdOK->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Error creating system registry entry"));
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Quillon Pro"));
    EXPECT_EQ(boxes[0].icon, desktop::MessageIcon::Error);
    EXPECT_TRUE(box.Accepted());
    EXPECT_NE(box.result(), int(QDialog::Accepted));
    EXPECT_FALSE(optAutoExpand->Value);
    EXPECT_EQ(AppColors[5], draw::clRed);
    QFile::remove(applications);
}

TEST_F(OptionsBoxTest, AStartUpDriveThatIsGoneChecksNothingAndLeavesTheSettingOnOk) {
    optDrivesToAutoScan->Value = "QTS";  // Q is no drive here
    TOptionsBox box(nullptr, Program());
    EXPECT_EQ(box.TheDrivesBox->CheckedDrives(), QStringLiteral("ST"));  // in list order
    box.cmdOK->click();
    EXPECT_EQ(optDrivesToAutoScan->Value, QStringLiteral("ST"));
}

TEST_F(OptionsBoxTest, TheColourPanelPressesLikeAButtonAndTheColourDialogChangesOnlyTheCopy) {
    AppColors = DefaultAppColors;
    std::vector<QColor> presets;
    QColor answer;
    int result = QDialog::Accepted;
    desktop::SetDialogRunner([&](QDialog& dialog) {
        auto& colors = dynamic_cast<QColorDialog&>(dialog);
        presets.push_back(colors.currentColor());
        if (result == QDialog::Accepted) colors.setCurrentColor(answer);
        return result;
    });
    TOptionsBox box(nullptr, Program());
    box.show();  // laid out, so that the list has rows to click
    box.lbColors->setCurrentRow(2);
    EXPECT_EQ(box.TheColorButton->Color(), draw::ColorToQColor(DefaultAppColors[2]));

    // Down with the left button: both bevels go down; up again: they come up and it is a click.
    TColorPanel* panel = box.TheColorButton;
    QTest::mousePress(panel, Qt::RightButton);
    EXPECT_FALSE(panel->Pressed());
    QTest::mouseRelease(panel, Qt::RightButton);
    EXPECT_TRUE(presets.empty());
    answer = QColor(1, 2, 3);
    QTest::mousePress(panel, Qt::LeftButton);
    EXPECT_TRUE(panel->Pressed());
    EXPECT_EQ(panel->frameShadow(), QFrame::Sunken);
    QTest::mouseRelease(panel, Qt::LeftButton);
    EXPECT_FALSE(panel->Pressed());
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets[0], draw::ColorToQColor(DefaultAppColors[2]));
    EXPECT_EQ(box.EditColors[2], draw::RGBColor(1, 2, 3));
    EXPECT_EQ(panel->Color(), QColor(1, 2, 3));

    // Cancelled: nothing changes. A double click on the list opens the dialog too.
    result = QDialog::Rejected;
    box.lbColors->setCurrentRow(7);
    box.lbColors->scrollToItem(box.lbColors->item(7));
    const QRect row = box.lbColors->visualItemRect(box.lbColors->item(7));
    QTest::mouseClick(box.lbColors->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(box.lbColors->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[1], draw::ColorToQColor(DefaultAppColors[7]));  // a system colour
    EXPECT_EQ(box.EditColors[7], DefaultAppColors[7]);
    EXPECT_EQ(AppColors, DefaultAppColors);  // only OK writes back

    // Enter on an entry, for the keyboard.
    box.lbColors->setCurrentRow(9);
    QTest::keyClick(box.lbColors, Qt::Key_Return);
    ASSERT_EQ(presets.size(), 3u);
    EXPECT_EQ(presets[2], draw::ColorToQColor(DefaultAppColors[9]));
    EXPECT_NE(box.result(), int(QDialog::Accepted));  // not the dialog's OK

    box.cmdDefaultColors->click();
    EXPECT_EQ(box.EditColors, DefaultAppColors);
    box.lbColors->setCurrentRow(2);
    EXPECT_EQ(panel->Color(), draw::ColorToQColor(DefaultAppColors[2]));

    result = QDialog::Accepted;
    answer = QColor(200, 100, 50);
    QTest::mouseClick(panel, Qt::LeftButton);
    box.cmdCancel->click();
    EXPECT_EQ(AppColors, DefaultAppColors);
    TOptionsBox second(nullptr, Program());
    second.lbColors->setCurrentRow(17);
    QTest::mouseClick(second.TheColorButton, Qt::LeftButton);
    second.cmdOK->click();
    EXPECT_EQ(AppColors[17], draw::RGBColor(200, 100, 50));
}

TEST_F(OptionsBoxTest, HelpOpensTopic4040) {
    TOptionsBox box(nullptr, Program());
    box.cmdHelp->click();
    THelpWindow* help = HelpWindowOf(&box);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->Source(), QUrl("qrc:/help/4040.html"));
}
