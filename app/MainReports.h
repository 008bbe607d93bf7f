#pragma once
// A report requested on the command line: its folder scanned and selected in the window, and the
// report written with the switches' filter and wasted-space choice, which leave the window's own
// list and options as they are.

#include <QStringList>

class TMainForm;

class TReportRunner {
public:
    explicit TReportRunner(TMainForm& window) : window_(window) {}

    // A "/R" report request of the command line; its TExitStatus.
    int Run(const QStringList& arguments);

private:
    TMainForm& window_;
};
