#pragma once
// Test support for archiving and restoring folders: what a tree holds, down to the bytes, times
// and permissions of every entry, and a drive on which the archive dialog runs with the engine
// of this build and answers its boxes as a test says.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>

#include "desktop/MessageBox.h"
#include "tests/fixtures/TempTree.h"

class QDialog;
class TCleanUpCompressFolderBox;

namespace archive_testing {

// One entry of a tree as lstat and a read see it.
struct EntryFacts {
    char kind = '?';    // 'f' file, 'l' link, 'd' folder
    QByteArray bytes;   // a file's contents or a link's target
    unsigned mode = 0;  // permission bits
    qint64 mtime = 0;   // seconds; nanoseconds must be 0 to compare
    qint64 mtimeNs = 0;
    bool operator==(const EntryFacts&) const = default;
};
using TreeFacts = std::map<QString, EntryFacts>;
void PrintTo(const EntryFacts& facts, std::ostream* os);

// Every entry below a host folder, the folder itself as "".
TreeFacts FactsOf(const QString& hostFolder);

// A folder of every kind of entry below hostFolder/name: files of several sizes (one that does
// not compress, an empty one, one with a name that is not UTF-8), hidden ones, a relative link,
// an empty folder, nested folders, several permission sets; every time an even second, as the
// ZIP format keeps times to two seconds. Answers the host path of the folder.
QString MakeSampleFolder(const QString& hostFolder, const QString& name);

using testing_support::Noise;
using testing_support::ReadFile;
using testing_support::WriteFile;

// A drive T: for the dialog: the engine of this build, the process's current folder on the
// drive, every message box recorded and answered from answers (then OK, or No where there is
// no OK).
class ArchiveTest : public ::testing::Test {
protected:
    ArchiveTest();
    ~ArchiveTest() override;

    // What the Archives Bin of the drive holds, as file names.
    QStringList ArchiveFiles() const;
    QString RegisterHost() const { return drive.host("Archives Bin/archives.ini"); }
    // The register's three values of each key, section by section ("Descriptions/T123.ZIP=...").
    QStringList RegisterLines() const;

    // Archives a folder through the dialog with the check boxes given; run gets the dialog after
    // its settings are made and before the archive button is pressed.
    struct ArchiveRun {
        bool resultsShown = false;  // the dialog stayed, on its results page
        QStringList results;        // the visible result lines
        QString archive;            // the file the run left in the Archives Bin, if any
    };
    ArchiveRun Archive(const QString& folder, bool move, int64_t usedSpace = 0,
                       const std::function<void(TCleanUpCompressFolderBox&)>& run = {});

    testing_support::TempDrive drive;
    QStringList boxes;
    QList<desktop::MessageButton> answers;

private:
    QString startFolder_;
};

}  // namespace archive_testing
