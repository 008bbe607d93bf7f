#include "app/Addons.h"

#include <QFile>
#include <QTextStream>

namespace {

bool IsBlank(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= ' ';
}

}  // namespace

QStringList SplitCommaText(const QString& line) {
    QStringList fields;
    const qsizetype n = line.size();
    auto at = [&](qsizetype i) { return i < n ? line[i] : QChar(); };
    qsizetype p = 0;
    while (IsBlank(at(p))) ++p;
    while (p < n) {
        QString field;
        if (at(p) == u'"') {
            ++p;
            for (; p < n; ++p) {
                if (at(p) == u'"') {
                    if (at(p + 1) != u'"') {
                        ++p;
                        break;
                    }
                    ++p;  // a doubled quote stands for one
                }
                field += at(p);
            }
        } else {
            const qsizetype start = p;
            while (p < n && !IsBlank(at(p)) && at(p) != u',') ++p;
            field = line.mid(start, p - start);
        }
        fields << field;
        while (IsBlank(at(p))) ++p;
        if (at(p) == u',') {
            if (p + 1 == n) fields << QString();
            do {
                ++p;
            } while (IsBlank(at(p)));
        }
    }
    return fields;
}

std::vector<AddonTool> ReadAddonTools(const QString& hostFile) {
    std::vector<AddonTool> tools;
    QFile file(hostFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return tools;
    QTextStream in(&file);
    int number = 0;
    for (QString line; in.readLineInto(&line); ++number) {
        const QStringList f = SplitCommaText(line);
        if (f.size() < 3)
            throw std::runtime_error("ADDONS.INI line " + std::to_string(number + 1) +
                                     " has fewer than three fields");
        tools.push_back({f[0], f[1], f[2]});
    }
    return tools;
}
