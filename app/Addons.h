#pragma once
// The add-on tools of the Tools menu, read from "ADDONS.INI" in the program's folder: one tool
// per line, as a comma-separated list of caption, hint and command.

#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

struct AddonTool {
    QString caption;
    QString hint;
    QString command;
};

// Splits a line the way comma-separated text lists split: fields end at a comma or a blank;
// a field in double quotes may hold both, and a doubled quote in it stands for one quote.
// "a,,b" gives three fields, a trailing comma one more empty field.
QStringList SplitCommaText(const QString& line);

// The tools of the file, in line order; none when the file does not exist. A line with fewer
// than three fields (an empty line too) throws std::runtime_error; fields after the third are
// ignored.
std::vector<AddonTool> ReadAddonTools(const QString& hostFile);
