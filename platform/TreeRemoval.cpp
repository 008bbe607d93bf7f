#include "platform/TreeRemoval.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform::fileops {

bool RemoveEntry(FolderChain& chain, const QByteArray& name, const MountBarrier& mounts,
                 Progress& progress, FileOperationResult& result, bool countEntries) {
    const QString host = chain.HostOf(name);
    EntryIdentity st;
    bool mountRoot = false;
    int dir = chain.Top();
    if (dir < 0 || !StatAt(dir, name.constData(), st, &mountRoot)) {
        if (dir >= 0 && errno == ENOENT) return true;
        Fail(result, host, WalkErrorText(errno));
        return false;
    }
    if (st.IsFolder()) {
        if (mounts.Stops(st, mountRoot, chain.TopDevice())) {
            Fail(result, host, MountedText());
            return false;
        }
        std::vector<QByteArray> names;
        int error = 0;
        if (!chain.Enter(name, st) || !ListNames(chain.Top(), names, error)) {
            Fail(result, host, WalkErrorText(error ? error : errno));
            if (error) chain.Leave();
            return false;
        }
        bool all = true;
        for (const QByteArray& child : names) {
            if (!progress.Tick(host)) break;
            all = RemoveEntry(chain, child, mounts, progress, result, countEntries) && all;
        }
        chain.Leave();
        if (!all || progress.cancelled) return false;
        dir = chain.Top();
        if (dir < 0 || ::unlinkat(dir, name.constData(), AT_REMOVEDIR) != 0) {
            Fail(result, host,
                 errno == ENOTEMPTY || errno == EEXIST
                     ? QStringLiteral("entries were added to it meanwhile; they stay")
                     : WalkErrorText(errno));
            return false;
        }
    } else if (::unlinkat(dir, name.constData(), 0) != 0) {
        Fail(result, host, SystemText(errno));
        return false;
    }
    if (countEntries) {
        progress.state.doneEntries += 1;
        if (st.IsFile()) progress.state.doneBytes += st.size;
    }
    progress.Tick(host);
    return true;
}

}  // namespace platform::fileops
