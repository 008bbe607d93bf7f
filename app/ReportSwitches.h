#pragma once
// The parts of a "/R" report request of the command line that are read before anything runs:
// the report's form from the first argument, and the switches from the fourth on.

#include <QString>
#include <QStringList>
#include <optional>

#include "views/SubfoldersPage.h"

enum class TReportForm { Info, Csv, Tab, Txt };

// "/R" + the form's keyword, in any case; nothing for an unknown one.
std::optional<TReportForm> ReportFormOf(const QString& argument);

// The switches from the fourth argument on change the filter, the sort and the wasted space;
// answers whether Q asks to quit when the report is done.
bool ApplySwitches(const QStringList& arguments, TSubfoldersPage::TFilter& filter, bool& wasted);
