#include "platform/TreeSurvey.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/Drives.h"
#include "platform/FileOperationSupport.h"
#include "platform/HostNames.h"

namespace platform {

using namespace fileops;

namespace {

constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;
constexpr int64_t kFatLargestFile = 0xFFFFFFFFLL;

// The reason a name cannot be kept on the target; empty when it can.
QString NameProblem(const QString& name, const QString& kind) {
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || QStringView(u"\\/:*?\"<>|").contains(c))
            return QStringLiteral(
                       "has a name with characters a %1 drive does not allow (\\ / : * ? \" < > | "
                       "or control characters)")
                .arg(kind);
    }
    if (name.endsWith(u'.') || name.endsWith(u' '))
        return QStringLiteral(
                   "has a name ending in a dot or a blank, which a %1 drive does not keep")
            .arg(kind);
    return {};
}

QString ProgramPathOf(const QString& host) {
    const QString program = FromHostPath(host);
    return program.isEmpty() ? host : program;
}

class Surveyor {
public:
    Surveyor(FolderChain& chain, const MountBarrier& mounts, const SurveyOptions& options,
             const std::function<bool()>& keepGoing)
        : chain_(chain), mounts_(mounts), options_(options), keepGoing_(keepGoing) {}

    TreeSurvey Run(const QByteArray& name) {
        // The entry leaves its folder at the end: that folder must let it go.
        if (options_.forRemoval && ::faccessat(chain_.Top(), ".", W_OK | X_OK, AT_EACCESS) != 0)
            Problem(chain_.HostOf(name),
                    QStringLiteral("cannot be removed from its folder: %1").arg(SystemText(errno)));
        else
            Walk(name, true);
        return std::move(survey_);
    }

private:
    bool Stopped() const {
        return survey_.cancelled || survey_.problems.size() >= options_.maxProblems;
    }

    void Problem(const QString& host, const QString& why) {
        const QString where = ProgramPathOf(host);
        if (survey_.problems.isEmpty()) {
            survey_.firstWhere = where;
            survey_.firstWhy = why;
        }
        survey_.problems << QStringLiteral("\"%1\" %2").arg(where, why);
    }

    void Walk(const QByteArray& name, bool top) {
        if (Stopped()) return;
        if (keepGoing_ && (++ticks_ & 63) == 0 && !keepGoing_()) {
            survey_.cancelled = true;
            return;
        }
        const QString host = chain_.HostOf(name);
        const int dir = chain_.Top();
        EntryIdentity st;
        bool mountRoot = false;
        uint64_t attributes = 0;
        if (dir < 0 || !StatAt(dir, name.constData(), st, &mountRoot, &attributes))
            return Problem(host, QStringLiteral("cannot be read: %1").arg(WalkErrorText(errno)));
        if (!top && !options_.hiddenFiles && name.startsWith('.')) return;
        const QString& kind = options_.limits.kind;
        if (!kind.isEmpty()) {
            const QString problem = NameProblem(DecodeHostName(name), kind);
            if (!problem.isEmpty()) return Problem(host, problem);
            if (st.IsLink())
                return Problem(
                    host,
                    QStringLiteral("is a symbolic link, which a %1 drive cannot hold").arg(kind));
            if (S_ISFIFO(st.mode))
                return Problem(
                    host,
                    QStringLiteral("is a named pipe, which a %1 drive cannot hold").arg(kind));
        }
        if (options_.forRemoval && IsImmutable(attributes))
            return Problem(host, QStringLiteral("cannot be removed afterwards: it is immutable"));
        if (st.IsFile()) {
            if (options_.limits.maxFileSize >= 0 && st.size > options_.limits.maxFileSize)
                return Problem(
                    host, QStringLiteral("is 4 GB or larger; a %1 drive holds no file that large")
                              .arg(kind));
            if (::faccessat(dir, name.constData(), R_OK, AT_EACCESS) != 0)
                return Problem(host, QStringLiteral("cannot be read: %1").arg(SystemText(errno)));
            Count(st);
            return;
        }
        if (st.IsLink() || S_ISFIFO(st.mode)) {
            survey_.files += 1;
            return;
        }
        if (!st.IsFolder()) {
            if (options_.forRemoval)
                Problem(host,
                        QStringLiteral("is a socket or a device file, which cannot be moved"));
            return;
        }
        if (!top && !options_.subfolders) return;
        if (mounts_.Stops(st, mountRoot, chain_.TopDevice())) {
            survey_.mountPoints << ProgramPathOf(host);
            return;
        }
        if (::faccessat(dir, name.constData(), R_OK | X_OK, AT_EACCESS) != 0)
            return Problem(host, QStringLiteral("cannot be read: %1").arg(SystemText(errno)));
        if (options_.forRemoval && ::faccessat(dir, name.constData(), W_OK, AT_EACCESS) != 0)
            return Problem(host, QStringLiteral("cannot be emptied: %1").arg(SystemText(errno)));
        std::vector<QByteArray> names;
        int error = 0;
        if (!chain_.Enter(name, st))
            return Problem(host, QStringLiteral("cannot be read: %1").arg(WalkErrorText(errno)));
        const bool listed = ListNames(chain_.Top(), names, error);
        if (!listed) Problem(host, QStringLiteral("cannot be read: %1").arg(SystemText(error)));
        survey_.folders += 1;
        for (const QByteArray& child : names) Walk(child, false);
        chain_.Leave();
    }

    void Count(const EntryIdentity& st) {
        survey_.files += 1;
        survey_.bytes += st.size;
        const int64_t cluster = options_.clusterSize;
        survey_.used += cluster > 0 ? (st.size + cluster - 1) / cluster * cluster : st.size;
    }

    FolderChain& chain_;
    const MountBarrier& mounts_;
    const SurveyOptions& options_;
    const std::function<bool()>& keepGoing_;
    TreeSurvey survey_;
    unsigned ticks_ = 0;
};

}  // namespace

TargetLimits LimitsOf(const PinnedFolder& folder) {
    return LimitsAt(folder.Descriptor(), folder.HostPath());
}

TreeSurvey SurveyEntry(const PinnedFolder& folder, const QByteArray& name,
                       const SurveyOptions& options, const std::function<bool()>& keepGoing) {
    FolderChain chain(folder.Descriptor(), folder.HostPath());
    const MountBarrier mounts(folder.Descriptor(), name);
    return SurveyAt(chain, name, mounts, options, keepGoing);
}

namespace fileops {

TargetLimits LimitsAt(int dirFd, const QString& host) {
    QString type;
    struct statfs fs {};
    if (::fstatfs(dirFd, &fs) == 0) {
        if (long(fs.f_type) == kMsdosMagic)
            type = QStringLiteral("vfat");
        else if (long(fs.f_type) == kExfatMagic)
            type = QStringLiteral("exfat");
    }
    if (type.isEmpty()) {
        const QString program = FromHostPath(host);
        if (const DriveMapping* drive = program.isEmpty() ? nullptr : FindDrive(program[0]))
            type = drive->mountType;
    }
    if (type == QLatin1String("vfat") || type == QLatin1String("msdos"))
        return {QStringLiteral("FAT"), kFatLargestFile};
    if (type == QLatin1String("exfat")) return {QStringLiteral("exFAT"), -1};
    return {};
}

TreeSurvey SurveyAt(FolderChain& chain, const QByteArray& name, const MountBarrier& mounts,
                    const SurveyOptions& options, const std::function<bool()>& keepGoing) {
    return Surveyor(chain, mounts, options, keepGoing).Run(name);
}

}  // namespace fileops

}  // namespace platform
