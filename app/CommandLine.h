#pragma once
// What the command line asks of the program before any window exists: the usage or the
// version (printed, nothing else runs), or a run with drives and folders to open or a report
// to write; and what a run without a display may do.

#include <QString>
#include <QStringList>

enum class TCommandLineAction { ShowUsage, ShowVersion, Run };

// --help or -h anywhere asks for the usage, --version for the version; else the arguments run.
TCommandLineAction CommandLineAction(const QStringList& arguments);

// True when the first argument begins with "/R" in any case: a report request.
bool IsReportRequest(const QStringList& arguments);

// The forms of the command line, for standard output.
QString UsageText();
// "Quillon Pro 2.0".
QString VersionText();
// Why a run without a display that has nothing to do without a person ends, and the command
// that works without one, for standard error.
QString HeadlessRefusalText();

// Exit statuses of a run without a display.
enum TExitStatus : int { ExitReportWritten = 0, ExitReportFailed = 1, ExitNothingDone = 2 };
