// Folders read ahead of a walk: the walk lists exactly what it lists alone, within the limits,
// never through a link, and nothing is left open or running once it is done.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>

#include "platform/FindFile.h"
#include "tests/fixtures/TempTree.h"

using platform::FolderReadAhead;
using platform::FolderReader;
using testing_support::TempDrive;

namespace {

// Every path below a reader's folder with its size, in the walk's order; stops after limit
// folders when one is given.
void Walk(FolderReader& reader, const QString& prefix, QStringList& out, int* limit = nullptr) {
    while (reader.Next()) {
        const QString path = prefix + reader.entryName();
        out << path + QStringLiteral(" %1").arg(reader.entry().size);
        if (!reader.entryIsFolder()) continue;
        if (limit && --*limit <= 0) return;
        FolderReader sub;
        if (sub.OpenEntryOf(reader)) Walk(sub, path + u'\\', out, limit);
        if (limit && *limit <= 0) return;
    }
}

QStringList WalkOf(const QString& folder, FolderReadAhead* ahead) {
    FolderReader reader;
    EXPECT_TRUE(reader.Open(folder, ahead));
    QStringList out;
    Walk(reader, {}, out);
    return out;
}

int OpenDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

class ReadAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 30; ++i)
            for (int k = 0; k < 3; ++k)
                drive.file(QStringLiteral("t/a%1/b%2/f").arg(i).arg(k), i * 10 + k);
        drive.file("t/top", 5);
    }
    TempDrive drive;
};

}  // namespace

TEST_F(ReadAheadTest, TheWalkListsWhatItListsAloneWhateverTheWorkersAndLimits) {
    const QStringList alone = WalkOf(drive.path("t"), nullptr);
    ASSERT_EQ(alone.size(), 30 + 30 * 3 * 2 + 1);
    const struct {
        int threads;
        size_t folders;
        size_t bytes;
    } cases[] = {
        {1, 64, 1 << 20},  // no workers: the walk reads every folder
        {2, 64, 1 << 20},
        {4, 1, 1 << 20},  // one folder at a time waits
        {4, 64, 1},       // a listing's bytes fill the read-ahead at once
        {8, 1000, size_t(64) << 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.threads << " threads, " << c.folders << " folders, "
                                        << c.bytes << " bytes");
        FolderReadAhead ahead(c.threads, c.folders, c.bytes);
        EXPECT_EQ(ahead.Threads(), c.threads > 1 ? c.threads : 0);
        EXPECT_EQ(WalkOf(drive.path("t"), &ahead), alone);
    }
}

TEST_F(ReadAheadTest, AWalkLeftPartWayLeavesNothingOpenAndNoWorkerRunning) {
    const int before = OpenDescriptors();
    for (const int stopAfter : {1, 5, 40}) {
        SCOPED_TRACE(stopAfter);
        {
            FolderReadAhead ahead(4);
            FolderReader reader;
            ASSERT_TRUE(reader.Open(drive.path("t"), &ahead));
            QStringList seen;
            int limit = stopAfter;
            Walk(reader, {}, seen, &limit);
            EXPECT_FALSE(seen.isEmpty());
        }  // the readers go, then the read-ahead, which joins its workers
        EXPECT_EQ(OpenDescriptors(), before);
    }
}

TEST_F(ReadAheadTest, AFolderSwappedForALinkIsNeverFollowed) {
    drive.file("elsewhere/secret", 99);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        FolderReadAhead ahead(4);
        FolderReader reader;
        ASSERT_TRUE(reader.Open(drive.path("t"), &ahead));
        // The subfolders were sent ahead when the folder was opened: some may be read already.
        const QString victim = drive.host(QStringLiteral("t/a%1").arg(round));
        ASSERT_TRUE(QDir().rename(victim, victim + ".moved"));
        ASSERT_TRUE(QFile::link(drive.host("elsewhere"), victim));
        QStringList seen;
        Walk(reader, {}, seen);
        EXPECT_FALSE(seen.join(u'|').contains(QStringLiteral("secret")));
        QFile::remove(victim);
        ASSERT_TRUE(QDir().rename(victim + ".moved", victim));
    }
}
