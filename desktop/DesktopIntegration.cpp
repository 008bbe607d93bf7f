#include "desktop/DesktopIntegration.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "platform/Drives.h"
#include "platform/HostFiles.h"
#include "platform/Trash.h"

namespace desktop {

namespace {

// A value of a desktop entry: backslashes and control characters written as escapes.
QString EscapedValue(const QString& text) {
    QString out;
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '\\':
                out += QLatin1String("\\\\");
                break;
            case '\n':
                out += QLatin1String("\\n");
                break;
            case '\t':
                out += QLatin1String("\\t");
                break;
            case '\r':
                out += QLatin1String("\\r");
                break;
            default:
                out += c;
        }
    }
    return out;
}

// One argument of an Exec line, quoted: the characters a shell would take up escaped with a
// backslash and a percent sign doubled, so that it is no field code.
QString QuotedArgument(const QString& argument) {
    QString out = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        else if (c == u'%')
            out += u'%';
        out += c;
    }
    return out + u'"';
}

// The command line of the entry: the program, then the folder the file manager hands over.
// GLib looks for the program named in the line before it turns "%%" back into "%", so a
// program whose path holds a percent sign is started through env, whose name holds none.
QString ExecLine(const QString& programHostPath) {
    const QString program = QuotedArgument(programHostPath);
    return EscapedValue(programHostPath.contains(u'%') ? QStringLiteral("env ") + program
                                                       : program) +
           QStringLiteral(" %f");
}

// The applications folder's database of types, where the desktop keeps one; not having the
// tool is no failure, the file managers that read the folders themselves see the verb anyway.
void RefreshApplicationsDatabase(const QString& folder) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (tool.isEmpty()) return;
    QProcess process;
    process.start(tool, {QStringLiteral("-q"), folder});
    if (process.waitForStarted(5000)) process.waitForFinished(10000);
}

}  // namespace

QString FolderVerbPath() {
    const QString data = platform::DataHome();
    return data.isEmpty() ? QString()
                          : data + QLatin1String("/applications/quillon-pro-folder.desktop");
}

bool FolderVerbExists() {
    const QString path = FolderVerbPath();
    return !path.isEmpty() && platform::HostEntryAt(path) != platform::HostEntry::Missing;
}

QString FolderVerbEntry(const QString& caption, const QString& programHostPath) {
    QStringList lines = {
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=") + EscapedValue(caption),
        QStringLiteral("TryExec=") + EscapedValue(programHostPath),
        QStringLiteral("Exec=") + ExecLine(programHostPath),
        QStringLiteral("MimeType=inode/directory;"),
        QStringLiteral("NoDisplay=true"),
        QStringLiteral("Terminal=false"),
    };
    return lines.join(u'\n') + u'\n';
}

QString WriteFolderVerb(const QString& caption, const QString& programHostPath) {
    const QString path = FolderVerbPath();
    if (path.isEmpty()) return QStringLiteral("No folder for the user's applications");
    const QString folder = path.left(path.lastIndexOf(u'/'));
    if (!platform::MakeHostFolders(folder)) return QStringLiteral("Cannot create ") + folder;
    QString why;
    if (!platform::ReplaceHostFile(path, FolderVerbEntry(caption, programHostPath).toUtf8(), &why))
        return why;
    RefreshApplicationsDatabase(folder);
    return {};
}

void RemoveFolderVerb() {
    const QString path = FolderVerbPath();
    if (path.isEmpty() || platform::HostEntryAt(path) == platform::HostEntry::Missing ||
        !platform::RemoveHostFile(path))
        return;
    RefreshApplicationsDatabase(path.left(path.lastIndexOf(u'/')));
}

QString FileSearchProgram() {
    struct Tool {
        const char* desktop;  // as XDG_CURRENT_DESKTOP names it
        const char* program;
    };
    static const Tool tools[] = {
        {"KDE", "kfind"},
        {"XFCE", "catfish"},
        {"MATE", "mate-search-tool"},
        {"GNOME", "gnome-search-tool"},
    };
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper();
    QStringList order;
    for (const Tool& tool : tools) {
        if (desktop.split(u':').contains(QLatin1String(tool.desktop)))
            order.prepend(QLatin1String(tool.program));
        else
            order.append(QLatin1String(tool.program));
    }
    for (const QString& program : std::as_const(order)) {
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty()) return found;
    }
    return {};
}

ShellOutcome FindFilesIn(const QString& folder) {
    const QString host = folder.isEmpty() ? QString() : platform::ToHostPath(folder);
    const QString program = FileSearchProgram();
    if (!program.isEmpty()) {
        const QString name = program.mid(program.lastIndexOf(u'/') + 1);
        QStringList arguments;
        // kfind and catfish take the folder as it is; the GNOME and MATE tools want an option.
        if (!host.isEmpty())
            arguments << (name == QLatin1String("kfind") || name == QLatin1String("catfish")
                              ? host
                              : QStringLiteral("--path=") + host);
        return StartProgramWithArguments(program, arguments, {}, ShowMode::Normal);
    }
    return OpenFileManager(host.isEmpty() ? QDir::homePath() : host);
}

}  // namespace desktop
