// The helper functions, the address launcher, the version label and the hover panel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QWidget>

#include "controls/Helpers.h"
#include "controls/SensiControls.h"
#include "controls/URL.h"
#include "controls/verslab.h"
#include "desktop/Shell.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/TempTree.h"

using testing_support::TempDrive;

namespace {

class Launches {
public:
    explicit Launches(desktop::ShellOutcome answer = {}) {
        desktop::SetShellLauncher([this, answer](const desktop::ShellLaunch& l) {
            seen.push_back(l);
            return answer;
        });
    }
    ~Launches() { desktop::SetShellLauncher({}); }
    std::vector<desktop::ShellLaunch> seen;
};

}  // namespace

TEST(Helpers, AttributeTextNamesTheFiveBitsInItsOwnOrder) {
    const std::pair<uint32_t, QString> cases[] = {
        {0x21, "Archive + ReadOnly"},
        {0x80, ""},
        {0x37, "Archive + ReadOnly + Hidden + System + Directory"},
        {0x412, "Hidden + Directory"},
    };
    for (const auto& [attributes, text] : cases)
        EXPECT_EQ(AttributeText(attributes), text) << attributes;
}

TEST(Helpers, PercentagesTruncateAndAnglesCoverTheEmptyWhole) {
    const std::tuple<int64_t, int64_t, int> percents[] = {
        {1, 3, 33},
        {2, 3, 66},
        {5, 0, 0},
        {-1, 3, -33},
        {3, 3, 100},
        {INT64_MAX, 1, INT_MAX},
        {int64_t{1} << 40, int64_t{1} << 41, 50},
    };
    for (const auto& [part, total, percent] : percents)
        EXPECT_EQ(PercentOf(part, total), percent) << part << "/" << total;
    const std::tuple<int64_t, int64_t, double> angles[] = {
        {0, 0, 360.0}, {7, 0, 0.0}, {1, 4, 90.0}, {3, 3, 360.0}, {1, 3, 120.0},
    };
    for (const auto& [part, total, angle] : angles)
        EXPECT_DOUBLE_EQ(AngleOf(part, total), angle) << part << "/" << total;
}

TEST(Helpers, SixtyFourBitHalvesAndRemainders) {
    EXPECT_EQ(MakeInt64(0x89abcdef, 0x01234567), 0x0123456789abcdefLL);
    EXPECT_EQ(MakeInt64(0xffffffff, 0xffffffff), -1);
    EXPECT_EQ(Mod64(0x100000005ULL, 0x10), 5u);
    EXPECT_EQ(Mod64(12345678901234ULL, 4096), 12345678901234ULL % 4096);
    EXPECT_EQ(Mod64(99, 0), 0u);
}

TEST(Helpers, ExistenceAndSizeThroughTheFind) {
    TempDrive drive;
    drive.file("d/big.bin", (int64_t{1} << 32) + 17);
    drive.folder("d/sub");
    EXPECT_TRUE(PathExists(drive.path("d/big.bin")));
    EXPECT_TRUE(PathExists(drive.path("d/*.bin")));
    EXPECT_FALSE(PathExists(drive.path("d/*.txt")));
    EXPECT_TRUE(FolderExists(drive.path("d/sub")));
    EXPECT_FALSE(FolderExists(drive.path("d/big.bin")));
    EXPECT_FALSE(FolderExists(drive.path("missing")));
    EXPECT_EQ(FileSizeLow(drive.path("d/big.bin")), 17u);
    EXPECT_EQ(FileSizeLow(drive.path("missing")), 0u);
    platform::FindData data;
    ASSERT_TRUE(FindFirstEntry(drive.path("d/*.bin"), data));
    EXPECT_EQ(data.name, "big.bin");
    EXPECT_EQ(data.size, (int64_t{1} << 32) + 17);
}

TEST(Helpers, ControlCursorChangesOnlyWhenItDiffers) {
    QWidget w;
    struct CursorChanges : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            count += e->type() == QEvent::CursorChange;
            return false;
        }
    } changes;
    w.installEventFilter(&changes);
    SetControlCursor(&w, Qt::WaitCursor, true);
    EXPECT_EQ(w.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(changes.count, 1);
    SetControlCursor(&w, Qt::WaitCursor, false);
    EXPECT_EQ(changes.count, 1);  // the same shape again: left alone
    SetControlCursor(&w, Qt::ArrowCursor, false);
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(changes.count, 2);
    SetControlCursor(nullptr, Qt::ArrowCursor, true);
}

TEST(ShellOpen, ProgramsStartAndEverythingElseGoesToItsHandler) {
    TempDrive drive;
    drive.file("doc.txt", 1);
    const QString program = drive.file("run.sh", 1);
    ASSERT_TRUE(
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    drive.folder("work");
    Launches launches;
    EXPECT_EQ(ShellOpen(drive.path("run.sh"), "-x", drive.path("work"), 1), 42);
    EXPECT_EQ(ShellOpen(drive.path("doc.txt"), {}, {}, 1), 42);
    EXPECT_EQ(ShellOpen(drive.path("gone.txt"), {}, {}, 1), 2);
    EXPECT_EQ(ShellOpen("Q:\\gone.txt", {}, {}, 1), 3);
    ASSERT_EQ(launches.seen.size(), 2u);
    EXPECT_EQ(launches.seen[0].kind, desktop::ShellLaunch::Kind::StartProgram);
    EXPECT_EQ(launches.seen[0].arguments, QStringList{"-x"});
    EXPECT_EQ(launches.seen[0].workingFolder, drive.host("work"));
    EXPECT_EQ(launches.seen[1].kind, desktop::ShellLaunch::Kind::OpenUrl);
}

TEST(URL, OpenHandsThePrefixedAddressToTheShell) {
    Launches launches;
    TURL url;
    EXPECT_EQ(url.URLType(), utHttp);
    EXPECT_FALSE(url.Open());
    EXPECT_TRUE(launches.seen.empty());

    url.setURL("support@norvane.example");
    url.setURLType(utMailto);
    EXPECT_TRUE(url.Open());
    ASSERT_EQ(launches.seen.size(), 1u);
    EXPECT_EQ(launches.seen[0].target, "mailto:support@norvane.example");
    EXPECT_FALSE(launches.seen[0].target.contains(u'/'));

    const std::pair<TURLType, QString> prefixes[] = {
        {utFile, "file://"}, {utFtp, "ftp://"},     {utGopher, "gopher://"},
        {utHttp, "http://"}, {utHttps, "https://"}, {utMailto, "mailto:"},
        {utNews, "news:"},   {utTelnet, "telnet:"}, {utWais, "wais:"},
    };
    for (const auto& [type, prefix] : prefixes) EXPECT_EQ(URLPrefix(type), prefix);
}

TEST(URL, AFailingShellMakesOpenFalse) {
    Launches launches({desktop::ShellError::NoAssociation, "none"});
    TURL url;
    url.setURL("www.norvane.example");
    EXPECT_FALSE(url.Open());
    ASSERT_EQ(launches.seen.size(), 1u);
    EXPECT_EQ(launches.seen[0].target, "http://www.norvane.example");
}

TEST(VersionLabel, ShowsTheProgramsOwnInformation) {
    TVersionLabel label;
    EXPECT_EQ(label.text(), "File Version: 2.0");
    EXPECT_EQ(label.LangCharset(), "040904E4");
    label.setShowInfoPrefix(false);
    EXPECT_EQ(label.text(), "2.0");
    const std::pair<TVersionResources, QString> rows[] = {
        {vrCompanyName, "Company Name: Norvane"},
        {vrProductName, "Product Name: Quillon Pro"},
        {vrProductVersion, "Product Version: 2.0"},
        {vrFlags, "Flags: "},
    };
    label.setShowInfoPrefix(true);
    for (const auto& [resource, text] : rows) {
        label.setVersionResource(resource);
        EXPECT_EQ(label.text(), text);
    }
    label.setDesigning(true);
    EXPECT_EQ(label.text(), "< No design info >");
}

TEST(VersionLabel, AKeyOfItsOwnBecomesThePrefixUntilAResourceIsChosen) {
    TVersionLabel label;
    label.setVersionResourceKey("CompanyName");
    EXPECT_EQ(label.InfoPrefix(), "CompanyName");
    EXPECT_EQ(label.text(), "CompanyName Norvane");
    label.setInfoPrefix("By");
    EXPECT_EQ(label.text(), "By Norvane");
    label.setVersionResource(vrCompanyName);
    EXPECT_EQ(label.text(), "Company Name: Norvane");
    // Switching to a key whose prefix text is already in place still reads the new key.
    label.setInfoPrefix("ProductName");
    label.setVersionResourceKey("ProductName");
    EXPECT_EQ(label.text(), "ProductName Quillon Pro");
}

TEST(VersionLabel, EveryFailureHasItsText) {
    const QString block = "\\StringFileInfo\\040904E4\\";
    VersionInfo good;
    good.translations = QByteArray::fromHex("0904e404");
    good.strings = {{block + "FileVersion", "2.0"}, {block + "Comments", ""}};
    good.fileFlags = 0x3F;

    struct Case {
        const char* what;
        std::function<void(VersionInfo&)> change;
        TVersionResources resource;
        QString text;
    } cases[] = {
        {"no information", [](VersionInfo& v) { v.state = VersionInfo::State::Missing; },
         vrFileVersion, "< No Data Available >"},
        {"unreadable", [](VersionInfo& v) { v.state = VersionInfo::State::Unreadable; },
         vrFileVersion, "< Error retrieving version info >"},
        {"short translation",
         [](VersionInfo& v) { v.translations = QByteArray::fromHex("0904e4"); }, vrFileVersion,
         "< Error retrieving translation info >"},
        {"missing key", [](VersionInfo&) {}, vrCompanyName, "< Error retrieving version info >"},
        {"empty string", [](VersionInfo&) {}, vrComments, "< No Version Info >"},
        {"all flags", [](VersionInfo&) {}, vrFlags,
         "Debug Build, Pre-Release Build, Patched Build, Private Build, InfoInferred, Special "
         "Build"},
        {"two flags", [](VersionInfo& v) { v.fileFlags = 0x0A | 0x40; }, vrFlags,
         "Pre-Release Build, Private Build"},
        {"no fixed part", [](VersionInfo& v) { v.hasFixedInfo = false; }, vrFlags,
         "< Error retrieving version info >"},
        {"short fixed part", [](VersionInfo& v) { v.fixedInfoLength = 1; }, vrFlags, ""},
    };
    for (const Case& c : cases) {
        VersionInfo info = good;
        c.change(info);
        TVersionLabel label(nullptr, &info);
        label.setShowInfoPrefix(false);
        label.setVersionResource(c.resource);
        EXPECT_EQ(label.text(), c.text) << c.what;
    }

    VersionInfo german = good;
    TVersionLabel label(nullptr, &german);
    label.setLangCharset("040704B0");
    EXPECT_EQ(label.text(), "File Version: < Error retrieving version info >");
}

TEST(SensitivePanel, ReportsEnterAndLeaveOnceEach) {
    TSensitivePanel panel;
    QStringList heard;
    QObject::connect(&panel, &TSensitivePanel::OnSensitiveActivate,
                     [&](QWidget* sender, QEvent& e) {
                         EXPECT_EQ(sender, &panel);
                         heard << QStringLiteral("enter %1").arg(e.type());
                     });
    QObject::connect(&panel, &TSensitivePanel::OnSensitiveDeactivate,
                     [&](QWidget* sender, QEvent& e) {
                         EXPECT_EQ(sender, &panel);
                         heard << QStringLiteral("leave %1").arg(e.type());
                     });
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&panel, &enter);
    QApplication::sendEvent(&panel, &leave);
    EXPECT_EQ(heard, (QStringList{QStringLiteral("enter %1").arg(QEvent::Enter),
                                  QStringLiteral("leave %1").arg(QEvent::Leave)}));
}
