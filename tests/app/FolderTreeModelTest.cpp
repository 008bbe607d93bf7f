// The item model of the folder tree, checked by Qt's own model tester while the engine's tree
// changes under it in every way the program changes it, with a tree view watching.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QTreeView>

#include "app/FolderTreeModel.h"
#include "engine/Scanner.h"
#include "engine/VolumeFacts.h"
#include "tests/fixtures/TempTree.h"

using namespace engine;
using testing_support::DriveMapScope;
using testing_support::TempTree;

namespace {

QStringList& ModelFailures() {
    static QStringList failures;
    return failures;
}

// Keeps what the model tester reports; everything else goes on as usual.
void CollectModelFailures(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtDebugMsg && QByteArray(context.category) == "qt.modeltest")
        ModelFailures() << text;
}

// Stops the walk once a number of folders are done.
class StopAfter : public IScanHost {
public:
    explicit StopAfter(int folders) : left_(folders) { SetScanHost(this); }
    ~StopAfter() override { SetScanHost(nullptr); }
    void ShowScanStatus(const QString&) override {}
    void ProcessPendingEvents() override {}
    void SetScanning(bool) override {}
    void FolderScanned(TFolderNode*) override {
        if (--left_ == 0) StopRequested = true;
    }

private:
    int left_;
};

TFolderNode* Scan(TFolderTree& tree, char letter) {
    DriveRecord* record = ScannedDrives().Find(letter);
    if (!record) record = ScannedDrives().Add(letter);
    const QString root = QChar(letter) + QLatin1String(":\\");
    return ScanDrive(tree, QChar(letter) + DriveDisplayName(root), *record, {});
}

}  // namespace

TEST(FolderTreeModel, StaysConsistentThroughScansRescansAndRemovals) {
    TempTree t, u;
    for (const char* file : {"a/b/c/f", "a/b/g", "a/h", "d/e/i", "j"}) t.file(file, 100);
    for (const char* file : {"x/1/f", "x/2/f", "x/3/f", "y/f"}) u.file(file, 10);
    DriveMapScope drives("T=" + t.host() + ";U=" + u.host());

    ModelFailures().clear();
    const QtMessageHandler previous = qInstallMessageHandler(CollectModelFailures);
    {
        TFolderTree tree;
        TFolderTreeModel model(tree);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Warning);
        QTreeView view;
        view.setModel(&model);
        view.show();
        const auto step = [&](const char* what) {
            view.expandAll();
            EXPECT_TRUE(ModelFailures().isEmpty())
                << what << ": " << ModelFailures().join('\n').toStdString();
            ModelFailures().clear();
        };

        TFolderNode* top = Scan(tree, 'T');
        step("scan");
        {
            StopAfter stop(2);
            Scan(tree, 'U');
        }
        step("stopped scan");
        RescanFolder("T:\\a", FindNodeByPath(top, "a", true));
        step("rescan of a folder");
        view.setCurrentIndex(model.IndexOf(FindNodeByPath(top, "a\\b\\c", true)));
        TFolderTree::DeleteNode(top);
        top = Scan(tree, 'T');
        step("rescan of a drive");
        ASSERT_TRUE(QDir(t.host("d")).removeRecursively());
        EXPECT_TRUE(RemoveVanishedFolder("T:\\d", FindNodeByPath(top, "d", true)));
        step("vanished folder");
        RemoveDrive('U');
        RemoveDrive('T');
        step("removed drives");
        EXPECT_EQ(model.rowCount(), 0);
    }
    qInstallMessageHandler(previous);
    ScannedDrives().Clear();
    StopRequested = false;
}
