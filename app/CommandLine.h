#pragma once
// What the command line asks of the program before any window exists: the usage or the
// version (printed, nothing else runs), or a run with drives and folders to open or a report
// to write; and what a run without a display may do.

#include <QString>
#include <QStringList>
#include <deque>
#include <variant>

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

// A folder named on the command line as a program path: one given as a program path, a path
// inside an imported export as a folder of that drive, otherwise a host path (a relative one
// from the folder the program was started in).
QString ProgramPathOfArgument(const QString& argument);
// A file named on the command line, to be written, as its host path.
QString HostPathOfArgument(const QString& argument);

// Exit statuses of a run without a display.
enum TExitStatus : int { ExitReportWritten = 0, ExitReportFailed = 1, ExitNothingDone = 2 };

// A first-in first-out queue of saved values: integers, texts and booleans come back in the
// order they were added. The reader knows the kind of each; the queue keeps no tags.
class TSimpleDataBackUp {
public:
    void Add(int value) { values_.emplace_back(value); }
    void Add(const QString& value) { values_.emplace_back(value); }
    void Add(bool value) { values_.emplace_back(value); }
    int ReadInteger() { return Take<int>(); }
    QString ReadString() { return Take<QString>(); }
    bool ReadBool() { return Take<bool>(); }

private:
    template <typename T>
    T Take() {
        T value = std::get<T>(values_.front());
        values_.pop_front();
        return value;
    }
    std::deque<std::variant<int, QString, bool>> values_;
};
