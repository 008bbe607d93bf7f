#include "app/CommandLine.h"

#include "controls/verslab.h"
#include "engine/FolderTree.h"
#include "engine/Ncdu.h"
#include "engine/TextForms.h"
#include "platform/Drives.h"

TCommandLineAction CommandLineAction(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return TCommandLineAction::ShowUsage;
        if (argument == QLatin1String("--version")) return TCommandLineAction::ShowVersion;
    }
    return TCommandLineAction::Run;
}

bool IsReportRequest(const QStringList& arguments) {
    return !arguments.isEmpty() && arguments.first().left(2).toUpper() == QLatin1String("/R");
}

QString UsageText() {
    return QStringLiteral(
        "Usage: quillon [DRIVE-OR-FOLDER...]\n"
        "       quillon /R<FORM> FOLDER REPORT-FILE [SWITCH...]\n"
        "       quillon --import-ncdu FILE [--cluster-size N] [/R<FORM> FOLDER REPORT-FILE ...]\n"
        "       quillon --export-ncdu FOLDER FILE\n"
        "       quillon [--import-ncdu FILE] --largest N FOLDER [FILE]\n"
        "       quillon [--import-ncdu FILE] --types FOLDER [FILE]\n"
        "       quillon --help | --version\n"
        "\n"
        "Quillon Pro shows how the space of drives and folders is used, and how much of it\n"
        "their files lose in their last clusters at eight cluster sizes.\n"
        "\n"
        "DRIVE-OR-FOLDER  a drive root (C:\\ or C:), a folder as the program names it\n"
        "                 (C:\\home\\ann), or an absolute folder path (/home/ann); each is\n"
        "                 scanned and opened in turn. Anything else opens nothing.\n"
        "\n"
        "Reports, written without asking (they also run without a display):\n"
        "  /RINF  folder information     /RCSV  subfolder list, comma-separated\n"
        "  /RTAB  subfolder list, tabs   /RTXT  subfolder list, aligned columns\n"
        "  FOLDER is scanned first; REPORT-FILE gets .txt (.csv for /RCSV) when it has no\n"
        "  extension. Switches choose the subfolders listed:\n"
        "  /A          all folders\n"
        "  /TOP:N      the N largest folders (N from the switch's 6th character on)\n"
        "  /HL:U:N     folders larger than N units, U = B, K or M (the 5th character;\n"
        "              N from the 7th on)\n"
        "  /SA:C /SD:C sorted by column C (1 to 8), ascending or descending\n"
        "  /W:T /W:F   with or without the wasted space\n"
        "  /Q          quit when the report is written\n"
        "  Example: quillon /RINF /usr/share/doc report.txt /Q\n"
        "\n"
        "Scans in ncdu's export format (FILE - is standard input or output):\n"
        "  --import-ncdu FILE  shows the export (plain or gzip-compressed) as a drive of its\n"
        "                      own, the first free letter from Z: down; a report request after\n"
        "                      it names its FOLDER as the export does (/srv/data/logs)\n"
        "  --cluster-size N    the imported drive's cluster size in bytes (4096 if not given)\n"
        "  --export-ncdu FOLDER FILE  writes FOLDER in ncdu's format 1.2, without a window\n"
        "  Example: ssh server ncdu -0 -e -o- / | quillon --import-ncdu -\n"
        "\n"
        "File lists as CSV, without a window (FILE - or none is standard output):\n"
        "  --largest N FOLDER [FILE]  the N largest files below FOLDER: host path, size and\n"
        "                             size on disk in bytes, last change (UTC), type, category,\n"
        "                             marks (sparse, compressed)\n"
        "  --types FOLDER [FILE]      FOLDER's files by category and by extension: files,\n"
        "                             size, size on disk, share of the size\n"
        "  Example: quillon --largest 20 ~/Downloads\n"
        "\n"
        "Environment:\n"
        "  QUILLON_DRIVES  maps folders as drives instead of the mounted file systems,\n"
        "                  as in \"C=/;D=/home;T=/tmp/tree\"\n"
        "\n"
        "Without a display (DISPLAY and WAYLAND_DISPLAY unset) only report requests and\n"
        "--export-ncdu run; the exit status is 0 when the report or export was written, 1\n"
        "when writing it failed, and 2 when there was nothing to do, the folder or the\n"
        "import did not open, or the request was malformed.\n");
}

QString VersionText() {
    const VersionInfo& info = ProgramVersionInfo();
    const QString block = QStringLiteral("\\StringFileInfo\\040904E4\\");
    return info.strings.value(block + QLatin1String("ProductName")) + u' ' +
           info.strings.value(block + QLatin1String("ProductVersion"));
}

QString HeadlessRefusalText() {
    return QStringLiteral(
        "quillon: there is no display, and without one only report requests run.\n"
        "To write a report of a folder without a display, run for example:\n"
        "  quillon /RINF /home/ann report.txt /Q\n"
        "See quillon --help for the forms of the command line.\n");
}

QString ProgramPathOfArgument(const QString& argument) {
    if (engine::IsProgramPath(argument)) return argument;
    // A path inside an imported export is a folder of that drive, not of this computer.
    for (int i = 0; i < engine::ScannedDrives().Count(); ++i) {
        const engine::DriveRecord* drive = engine::ScannedDrives().At(i);
        if (!drive->Import || drive->Import->RootPath.isEmpty()) continue;
        const QString root = drive->Import->RootPath;
        const QString trimmed =
            argument.size() > 1 && argument.endsWith(u'/') ? argument.chopped(1) : argument;
        if (trimmed != root && !trimmed.startsWith(root.endsWith(u'/') ? root : root + u'/'))
            continue;
        QStringList parts = trimmed.mid(root.size()).split(u'/', Qt::SkipEmptyParts);
        for (QString& part : parts) part.replace(u'\\', QChar(0xFF3C));
        return QChar(drive->Letter) + QLatin1String(":\\") + parts.join(u'\\');
    }
    return platform::FromGivenHostPath(argument);
}

QString HostPathOfArgument(const QString& argument) {
    return engine::IsProgramPath(argument) ? platform::ToHostPath(argument)
                                           : platform::AbsoluteHostPath(argument);
}
