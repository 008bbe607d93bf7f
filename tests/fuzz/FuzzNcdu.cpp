// The ncdu export reader over any bytes (plain or gzip-compressed), as an export from another
// machine may be: it never crashes or hangs, its memory stays bounded (the fuzzer's limits), and
// the tree it builds has consistent totals: every folder's tree totals are its own files' plus
// its children's, and its subfolder count is its number of children.
#include "engine/Ncdu.h"
#include "platform/ByteInput.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace engine;

namespace {

void CheckTotals(const TFolderNode* node) {
    for (int i = 0; i < node->ChildCount(); ++i) CheckTotals(node->Child(i));
    const TFolderSize* r = node->Record();
    if (!r) return;
    TFolderSize sum;
    sum.TreeSize = r->FilesSize;
    sum.TreeWasted = r->FilesWasted;
    sum.TreeFileCount = r->FileCount;
    sum.TreeFolderCount = r->SubfolderCount;
    sum.TreeWastedAt = r->FilesWastedAt;
    for (int i = 0; i < node->ChildCount(); ++i) {
        const TFolderSize* c = node->Child(i)->Record();
        if (!c) return;  // a folder the reading did not finish: no totals to compare
        sum.TreeSize += c->TreeSize;
        sum.TreeWasted += c->TreeWasted;
        sum.TreeFileCount += c->TreeFileCount;
        sum.TreeFolderCount += c->TreeFolderCount;
        for (int k = 0; k < kReferenceClusterSizeCount; ++k)
            sum.TreeWastedAt[k] += c->TreeWastedAt[k];
    }
    const QString where = NodePath(node);
    FUZZ_CHECK(r->SubfolderCount == node->ChildCount(), where);
    FUZZ_CHECK(r->TreeSize == sum.TreeSize, where);
    FUZZ_CHECK(r->TreeWasted == sum.TreeWasted, where);
    FUZZ_CHECK(r->TreeFileCount == sum.TreeFileCount, where);
    FUZZ_CHECK(r->TreeFolderCount == sum.TreeFolderCount, where);
    FUZZ_CHECK(r->TreeWastedAt == sum.TreeWastedAt, where);
    FUZZ_CHECK(r->TreeSize >= 0, where);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;
    const QString file = environment.Path(QStringLiteral("export.json"));
    if (!fuzz_support::WriteFile(file, fuzz_support::BytesOf(data, size))) return 0;

    platform::ByteInput input;
    if (!input.Open(file)) return 0;
    TFolderTree tree;
    DriveRecord* record = ScannedDrives().Add('Z');
    QString error;
    TFolderNode* top = ImportNcdu(tree, *record, 'Z', input, 4096, error, {});
    if (top) {
        FUZZ_CHECK(top->Record() != nullptr, error);
        CheckTotals(top);
        TFolderTree::DeleteNode(top);
    } else {
        FUZZ_CHECK(!error.isEmpty(), {});
    }
    ScannedDrives().Remove(record);
    return 0;
}
