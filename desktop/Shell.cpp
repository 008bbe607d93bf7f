#include "desktop/Shell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Drives.h"
#include "platform/HostNames.h"

namespace desktop {

namespace {

bool IsProgramPath(const QString& path) {
    return path.size() >= 2 && path[1] == u':' && path[0].isLetter() && path[0].unicode() < 128;
}

bool IsDriveRoot(const QString& path) {
    return IsProgramPath(path) && (path.size() == 2 || (path.size() == 3 && path[2] == u'\\'));
}

// A program path becomes the host's; anything else is taken as a host path already.
QString HostPathOf(const QString& path) {
    return IsProgramPath(path) ? platform::ToHostPath(path) : path;
}

// "http:", "mailto:", "file:" and the like; a drive letter and colon is no scheme.
bool HasUrlScheme(const QString& text) {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 2 || !text[0].isLetter()) return false;
    for (qsizetype i = 1; i < colon; ++i) {
        const QChar c = text[i];
        if (!c.isLetterOrNumber() && c != u'+' && c != u'-' && c != u'.') return false;
    }
    return true;
}

QString SystemText(int error) {
    return platform::SystemErrorText(error);
}

ShellOutcome Failure(ShellError error, int errnoValue) {
    return {error, SystemText(errnoValue)};
}

QStyle* Style() {
    return QApplication::style();
}

QIcon ThemedOr(const char* themeName, QStyle::StandardPixmap fallback) {
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(themeName));
    return icon.isNull() ? Style()->standardIcon(fallback) : icon;
}

QIcon DriveIcon(platform::DriveType type) {
    switch (type) {
        case platform::DriveType::Removable:
            return ThemedOr("drive-removable-media", QStyle::SP_DriveFDIcon);
        case platform::DriveType::CdRom:
            return ThemedOr("drive-optical", QStyle::SP_DriveCDIcon);
        case platform::DriveType::Remote:
            return ThemedOr("folder-remote", QStyle::SP_DriveNetIcon);
        default:
            return ThemedOr("drive-harddisk", QStyle::SP_DriveHDIcon);
    }
}

QIcon FolderIcon(bool open) {
    return open ? ThemedOr("folder-open", QStyle::SP_DirOpenIcon)
                : ThemedOr("folder", QStyle::SP_DirIcon);
}

ShellOutcome HostLaunch(const ShellLaunch& launch) {
    if (launch.kind == ShellLaunch::Kind::OpenUrl) {
        if (QDesktopServices::openUrl(QUrl(launch.target))) return {};
        return {ShellError::NoAssociation,
                QStringLiteral("No program is set to open \"%1\".").arg(launch.target)};
    }
    QProcess process;
    process.setProgram(launch.target);
    process.setArguments(launch.arguments);
    process.setWorkingDirectory(launch.workingFolder);
    if (process.startDetached()) return {};
    return {ShellError::Other, process.errorString()};
}

ShellLauncher& Launcher() {
    static ShellLauncher launcher;
    return launcher;
}

ShellOutcome Launch(const ShellLaunch& launch) {
    return Launcher() ? Launcher()(launch) : HostLaunch(launch);
}

}  // namespace

QString ShellDisplayName(const QString& path) {
    if (IsDriveRoot(path)) return platform::DriveDisplayNameOf(path.left(2) + u'\\');
    QString p = path;
    while (p.endsWith(u'\\')) p.chop(1);
    return p.mid(p.lastIndexOf(u'\\') + 1);
}

QString ShellTypeName(const QString& path) {
    static const QMimeDatabase mimes;
    const QString host = HostPathOf(path);
    const QFileInfo info(host);
    if (IsDriveRoot(path)) return QStringLiteral("Folder");
    if (info.isSymLink()) return mimes.mimeTypeForName(QStringLiteral("inode/symlink")).comment();
    if (info.isDir()) return QStringLiteral("Folder");
    return mimes.mimeTypeForFile(info).comment();
}

QSize ShellIconSize(IconSize size) {
    const int edge = Style()->pixelMetric(size == IconSize::Small ? QStyle::PM_SmallIconSize
                                                                  : QStyle::PM_LargeIconSize);
    return {edge, edge};
}

QIcon ShellIcon(const QString& path, bool open) {
    return ShellIconList::Instance().Icon(ShellIconList::Instance().IndexOf(path, open));
}

ShellIconList& ShellIconList::Instance() {
    static ShellIconList list;
    return list;
}

int ShellIconList::IndexOfKey(const QString& key, const std::function<QIcon()>& make) {
    for (size_t i = 0; i < icons_.size(); ++i) {
        if (icons_[i].first == key) return static_cast<int>(i);
    }
    icons_.emplace_back(key, make());
    return static_cast<int>(icons_.size() - 1);
}

std::array<int, 2> ShellIconList::IndexesOf(const QString& path) {
    static const QMimeDatabase mimes;
    const auto both = [](int index) { return std::array<int, 2>{index, index}; };
    if (IsDriveRoot(path)) {
        const platform::DriveType type = platform::GetDriveType(path.left(2) + u'\\');
        return both(IndexOfKey(QStringLiteral("drive:%1").arg(static_cast<int>(type)),
                               [type] { return DriveIcon(type); }));
    }
    const QString host = HostPathOf(path);
    if (host.isEmpty()) {  // on no drive: nothing to ask the file system about
        return both(IndexOfKey(QStringLiteral("unknown"),
                               [] { return Style()->standardIcon(QStyle::SP_FileIcon); }));
    }
    const QFileInfo info(host);
    if (info.isSymLink()) {
        return both(IndexOfKey(QStringLiteral("link"),
                               [] { return ThemedOr("inode-symlink", QStyle::SP_FileLinkIcon); }));
    }
    if (info.isDir()) return {FolderIndex(false), FolderIndex(true)};
    const QMimeType mime = mimes.mimeTypeForFile(info);
    return both(IndexOfKey(QStringLiteral("mime:") + mime.name(), [mime, info] {
        QIcon icon = QFileIconProvider().icon(info);
        if (icon.isNull()) icon = QIcon::fromTheme(mime.iconName());
        if (icon.isNull()) icon = QIcon::fromTheme(mime.genericIconName());
        return icon.isNull() ? Style()->standardIcon(QStyle::SP_FileIcon) : icon;
    }));
}

int ShellIconList::FolderIndex(bool open) {
    return IndexOfKey(open ? QStringLiteral("folder-open") : QStringLiteral("folder"),
                      [open] { return FolderIcon(open); });
}

QIcon ShellIconList::Icon(int index) const {
    if (index < 0 || index >= Count()) return {};
    return icons_[static_cast<size_t>(index)].second;
}

QPixmap ShellIconList::Pixmap(int index, IconSize size) const {
    return Icon(index).pixmap(ShellIconSize(size));
}

bool IsProgramFile(const QString& path) {
    if (HasUrlScheme(path)) return false;
    const QFileInfo info(HostPathOf(path));
    return !info.filePath().isEmpty() && info.isFile() && info.isExecutable();
}

ShellOutcome OpenWithDefaultHandler(const QString& target) {
    static const QString fileScheme = QStringLiteral("file://");
    if (target.startsWith(fileScheme, Qt::CaseInsensitive) &&
        IsProgramPath(target.mid(fileScheme.size())))
        return OpenWithDefaultHandler(target.mid(fileScheme.size()));
    ShellLaunch launch;
    if (HasUrlScheme(target)) {
        launch.target = target;
    } else {
        const QString host = HostPathOf(target);
        if (host.isEmpty()) return Failure(ShellError::PathNotFound, ENOENT);
        QFileInfo info(host);
        if (!info.exists() && !info.isSymLink()) return Failure(ShellError::FileNotFound, ENOENT);
        launch.target = QUrl::fromLocalFile(info.absoluteFilePath()).toString();
    }
    return Launch(launch);
}

ShellOutcome StartProgram(const QString& program, const QString& parameters,
                          const QString& workingFolder, ShowMode show) {
    return StartProgramWithArguments(program, QProcess::splitCommand(parameters), workingFolder,
                                     show);
}

ShellOutcome StartProgramWithArguments(const QString& program, const QStringList& arguments,
                                       const QString& workingFolder, ShowMode show) {
    ShellLaunch launch;
    launch.kind = ShellLaunch::Kind::StartProgram;
    launch.target = HostPathOf(program);
    launch.arguments = arguments;
    launch.show = show;
    if (launch.target.isEmpty()) return Failure(ShellError::PathNotFound, ENOENT);
    if (launch.target.contains(u'/')) {
        const QFileInfo info(launch.target);
        if (!info.exists()) return Failure(ShellError::FileNotFound, ENOENT);
        if (info.isDir() || !info.isExecutable()) return Failure(ShellError::AccessDenied, EACCES);
    }
    if (!workingFolder.isEmpty()) {
        launch.workingFolder = HostPathOf(workingFolder);
        if (!QFileInfo(launch.workingFolder).isDir())
            return Failure(ShellError::PathNotFound, ENOENT);
    }
    return Launch(launch);
}

ShellOutcome ShellOpen(const QString& target, const QStringList& arguments,
                       const QString& workingFolder, ShowMode show) {
    const QString host = HostPathOf(target);
    const bool program = host.contains(u'/') ? IsProgramFile(host)
                                             : !HasUrlScheme(target) &&
                                                   !QStandardPaths::findExecutable(host).isEmpty();
    if (program) return StartProgramWithArguments(target, arguments, workingFolder, show);
    return OpenWithDefaultHandler(target);
}

ShellOutcome OpenFileManager(const QString& folder) {
    const QString host = HostPathOf(folder);
    if (host.isEmpty() || !QFileInfo(host).isDir())
        return Failure(ShellError::PathNotFound, ENOENT);
    return Launch({ShellLaunch::Kind::OpenUrl, HostFileUrl(host).toString(QUrl::FullyEncoded)});
}

QUrl HostFileUrl(const QString& hostPath) {
    return QUrl::fromEncoded("file://" + platform::EncodeHostName(hostPath).toPercentEncoding("/"),
                             QUrl::StrictMode);
}

ShellLauncher SetShellLauncher(ShellLauncher launcher) {
    return std::exchange(Launcher(), std::move(launcher));
}

}  // namespace desktop
