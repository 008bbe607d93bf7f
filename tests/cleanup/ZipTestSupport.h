#pragma once
// Test support for the ZIP engine: an engine wired to record what it says, file helpers, and
// the outside programs that check archives.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "cleanup/ZipEngine.h"
#include "tests/fixtures/TempTree.h"

namespace zip_testing {

struct ProgressCall {
    ProgressType kind;
    QString fileName;
    int64_t fileSize;
};

// A temporary tree that is the current folder during the test, and an engine that loads the
// libraries of this build and records its message boxes, messages and progress.
class ZipTest : public ::testing::Test {
protected:
    ZipTest();
    ~ZipTest() override;

    // Writes a file (creating its folders) relative to the tree; returns its host path.
    QString Write(const QString& relative, const QByteArray& bytes) const;
    QByteArray Read(const QString& relative) const;
    QString Host(const QString& relative = {}) const { return tree.host(relative); }
    // Bytes that do not compress.
    static QByteArray Noise(int size, quint32 seed);

    // Adds files matching patterns to an archive with the given options; answers the result count.
    int Add(const QString& archive, const QStringList& patterns, AddOpts options, int level = 9);
    // Extracts an archive into a folder of the tree (created first).
    int Extract(const QString& archive, const QString& folder, const QStringList& names = {});

    std::vector<int> MessageCodes() const;
    QStringList MessageTexts() const;

    testing_support::TempTree tree;
    TZipEngine zip;
    QStringList boxes;
    std::vector<std::pair<int, QString>> messages;
    std::vector<ProgressCall> progress;
    int dirUpdates = 0;

private:
    QString startFolder_;
};

// Runs a program and answers its exit code (-1 when it could not run); output gets stdout
// and stderr together.
int RunProgram(const QString& program, const QStringList& arguments, QString* output = nullptr);

// Every entry below a folder, by relative path: "f:" and the content for files, "l:" and the
// target for links, "d" for folders. Links are never followed.
std::map<QString, QByteArray> Snapshot(const QString& folder);

}  // namespace zip_testing
