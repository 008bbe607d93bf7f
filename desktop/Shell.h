#pragma once
// The shell services: what the file manager calls a path (display name, type name, icon), the
// icon list that the tree and list controls index into, and starting things: a document,
// folder or address with its default handler, a program with parameters, the file manager.
//
// Paths are program paths ("C:\home\ann"); addresses are URLs ("http://...", "mailto:...").

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <array>
#include <functional>
#include <vector>

namespace desktop {

// The name the file manager shows for a path: a drive root's DriveDisplayNameOf ("/home (D:)"),
// otherwise the last name of the path. Empty for an unmapped drive.
QString ShellDisplayName(const QString& path);

// The kind of item, as the file manager names it: "Folder" for folders and drive roots,
// otherwise the description of the file's content type ("plain text document").
QString ShellTypeName(const QString& path);

enum class IconSize { Small, Large };

// The pixel size of the small (16 x 16 on most styles) and large icons.
QSize ShellIconSize(IconSize size);

// The icon of a path: a drive root by its drive type, a folder (open or closed), a file by its
// content type. Taken from the icon theme, or the style's standard icons when the theme has none.
QIcon ShellIcon(const QString& path, bool open = false);

// The program's "system icon list": one list, seen at two sizes, that hands out an index per
// kind of icon. Paths of the same kind share an index; an index stays valid for the whole run.
class ShellIconList {
public:
    static ShellIconList& Instance();

    // The index of a path's icon (open: the open-folder form for a folder).
    int IndexOf(const QString& path, bool open = false) { return IndexesOf(path)[open ? 1 : 0]; }
    // The icons of a path shut and open (they differ for folders), the file system asked once.
    std::array<int, 2> IndexesOf(const QString& path);
    // The index of the folder icon, closed or open.
    int FolderIndex(bool open = false);
    // The icon behind an index; a null icon for an index never handed out.
    QIcon Icon(int index) const;
    QPixmap Pixmap(int index, IconSize size) const;
    int Count() const { return static_cast<int>(icons_.size()); }

private:
    ShellIconList() = default;
    int IndexOfKey(const QString& key, const std::function<QIcon()>& make);

    std::vector<std::pair<QString, QIcon>> icons_;
};

// How a started program is asked to show its first window; the numbers of the Windows show
// commands. The host cannot impose a window state on another program: the mode travels with the
// request and the program decides.
enum class ShowMode : int {
    Hide = 0,
    Normal = 1,
    Minimized = 2,
    Maximized = 3,
    NoActivate = 4,
    Show = 5,
};

// What a launch asks the host for; tests see it through SetShellLauncher.
struct ShellLaunch {
    enum class Kind { OpenUrl, StartProgram } kind = Kind::OpenUrl;
    QString target;  // the URL, or the host path of the program
    QStringList arguments;
    QString workingFolder;  // host path; empty: the program's own current folder
    ShowMode show = ShowMode::Normal;
};

enum class ShellError {
    None,
    FileNotFound,   // the program or document does not exist
    PathNotFound,   // the working folder does not exist, or a path is on no drive
    AccessDenied,   // the program may not be run
    NoAssociation,  // nothing is there to open this kind of address or document
    Other,
};

struct ShellOutcome {
    ShellError error = ShellError::None;
    QString errorText;  // the system's words for the failure
    bool ok() const { return error == ShellError::None; }
};

// True when path (program or host path) is a file the host can run: an executable regular file.
bool IsProgramFile(const QString& path);

// Opens a document, folder or address with the default handler. target is a URL or a program
// path ("file://" followed by a program path is that path); a program path must exist.
ShellOutcome OpenWithDefaultHandler(const QString& target);

// Starts a program (program path or host path) with its parameters (split as a command line
// splits them, quotes kept together), in workingFolder (program or host path; empty: ours).
ShellOutcome StartProgram(const QString& program, const QString& parameters,
                          const QString& workingFolder, ShowMode show);

// The same with the arguments given one by one, each passed whole.
ShellOutcome StartProgramWithArguments(const QString& program, const QStringList& arguments,
                                       const QString& workingFolder, ShowMode show);

// The shell's open: a program (a file the host can run, or a name on the search path) starts
// with its arguments in workingFolder; a document, folder or address opens in its default
// handler, without them.
ShellOutcome ShellOpen(const QString& target, const QStringList& arguments,
                       const QString& workingFolder, ShowMode show);

// Shows a folder in the file manager (the folder's default handler).
ShellOutcome OpenFileManager(const QString& folder);

// The file URL of a host path, byte for byte: a name that is not UTF-8 keeps its bytes as
// escapes, which other programs read back into the same name.
QUrl HostFileUrl(const QString& hostPath);

// Replaces what carries a launch out (tests); an empty function restores the host's. Returns the
// old one. The launcher answers the outcome of the request it was handed.
using ShellLauncher = std::function<ShellOutcome(const ShellLaunch&)>;
ShellLauncher SetShellLauncher(ShellLauncher launcher);

}  // namespace desktop
