#include "cleanup/ProfileFile.h"

#include "platform/Drives.h"
#include "platform/FindFile.h"
#include "platform/HostFiles.h"
#include "platform/HostNames.h"
#include "platform/PinnedFolder.h"

namespace cleanup {

using platform::DecodeHostName;
using platform::EncodeHostName;
using platform::EntryIdentity;
using platform::HostEntry;
using platform::HostEntryAt;
using platform::PathIsMissing;
using platform::PinFolder;
using platform::PinnedFolder;
using platform::ReadHostFile;
using platform::RemoveHostFile;
using platform::ReplaceHostFile;
using platform::ToHostPath;

namespace {

bool IsProgramPath(const QString& path) {
    return path.size() >= 2 && path[1] == u':' && path[0].isLetter() && path[0].unicode() < 128;
}

bool IsQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

// A value as the profile functions give it: trimmed, one pair of enclosing quotes dropped.
QString Unquoted(const QString& text) {
    const QString value = text.trimmed();
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The text that reads back as value: quoted when trimming or unquoting would change it.
QString Quoted(const QString& value) {
    if (value.trimmed() != value || Unquoted(value) != value) return u'"' + value + u'"';
    return value;
}

bool Same(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

struct Line {
    enum Kind { Blank, Comment, Section, Key, Other } kind = Other;
    QString name;
    QString value;
    bool hasValue = false;
};

Line Classify(const QByteArray& bytes) {
    Line line;
    const QString text = DecodeHostName(bytes).trimmed();
    if (text.isEmpty()) {
        line.kind = Line::Blank;
    } else if (text.startsWith(u';')) {
        line.kind = Line::Comment;
    } else if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        line.kind = Line::Section;
        line.name = (close < 0 ? text.mid(1) : text.mid(1, close - 1)).trimmed();
    } else {
        const qsizetype eq = text.indexOf(u'=');
        line.name = (eq < 0 ? text : text.left(eq)).trimmed();
        line.kind = line.name.isEmpty() ? Line::Other : Line::Key;
        line.hasValue = eq >= 0;
        if (line.hasValue) line.value = Unquoted(text.mid(eq + 1));
    }
    return line;
}

// The lines of the first section of that name: its header and the end (exclusive) of its
// lines; header -1 when there is none.
struct Range {
    qsizetype header = -1;
    qsizetype end = -1;
};

Range SectionRange(const std::vector<QByteArray>& lines, const QString& section) {
    Range range;
    for (qsizetype i = 0; i < qsizetype(lines.size()); ++i) {
        const Line line = Classify(lines[size_t(i)]);
        if (line.kind != Line::Section) continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (Same(line.name, section)) range.header = i;
    }
    if (range.header >= 0) range.end = qsizetype(lines.size());
    return range;
}

// The line of the first key of that name in the range; -1 when there is none.
qsizetype KeyLine(const std::vector<QByteArray>& lines, const Range& range, const QString& key) {
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const Line line = Classify(lines[size_t(i)]);
        if (line.kind == Line::Key && Same(line.name, key)) return i;
    }
    return -1;
}

bool HasLineBreak(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0));
}

QString SectionProblem(const QString& section) {
    if (section.trimmed().isEmpty() || section.trimmed() != section || HasLineBreak(section) ||
        section.contains(u']'))
        return QStringLiteral("The section name \"%1\" cannot be written").arg(section);
    return {};
}

QString KeyProblem(const QString& key) {
    if (key.trimmed().isEmpty() || key.trimmed() != key || HasLineBreak(key) ||
        key.contains(u'=') || key.startsWith(u'[') || key.startsWith(u';'))
        return QStringLiteral("The key \"%1\" cannot be written").arg(key);
    return {};
}

QString FolderOf(const QString& programPath) {
    const qsizetype cut = programPath.lastIndexOf(u'\\');
    return cut <= 2 ? programPath.left(2) + u'\\' : programPath.left(cut);
}

QByteArray NameOf(const QString& host) {
    return EncodeHostName(host.mid(host.lastIndexOf(u'/') + 1));
}

}  // namespace

// A file on a drive is reached through its folder pinned from the drive's root, so that no link
// on the way (a folder swapped for a link) can lead a read or a write elsewhere; a host path is
// the caller's own to name. Either way the file itself is never a link.
bool ProfileFile::ReadBytes(QByteArray& bytes, bool& missing, QString* error) const {
    if (!IsProgramPath(path_)) {
        if (HostEntryAt(host_) == HostEntry::Missing) return missing = true;
        missing = false;
        return ReadHostFile(host_, bytes, error);
    }
    PinnedFolder folder;
    QString why;
    if (!PinFolder(FolderOf(path_), folder, why)) {
        missing = PathIsMissing(FolderOf(path_));
        if (missing) return true;
        if (error) *error = why;
        return false;
    }
    return ReadFileIn(folder, NameOf(host_), bytes, missing, error);
}

bool ProfileFile::WriteBytes(const QByteArray& bytes, QString* error) const {
    if (!IsProgramPath(path_)) return ReplaceHostFile(host_, bytes, error);
    PinnedFolder folder;
    QString why;
    if (!PinFolder(FolderOf(path_), folder, why)) {
        if (error) *error = why;
        return false;
    }
    return ReplaceFileIn(folder, NameOf(host_), bytes, error);
}

ProfileFile::ProfileFile(const QString& path)
    : path_(path), host_(IsProgramPath(path) ? ToHostPath(path) : path) {
    Load(lines_, state_, &error_);
}

bool ProfileFile::Load(Lines& lines, State& state, QString* error) const {
    lines.clear();
    if (host_.isEmpty()) {
        state = State::Unreadable;
        if (error) *error = QStringLiteral("%1 is on no drive").arg(path_);
        return false;
    }
    QByteArray bytes;
    bool missing = false;
    QString why;
    if (!ReadBytes(bytes, missing, &why)) {
        state = State::Unreadable;
        if (error) *error = QStringLiteral("%1: %2").arg(path_, why);
        return false;
    }
    if (missing) {
        state = State::Missing;
        return true;
    }
    state = State::Read;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        lines.push_back(std::move(line));
    }
    // The line end of the last line leaves an empty piece behind it.
    if (!lines.empty() && lines.back().isEmpty()) lines.pop_back();
    return true;
}

QString ProfileFile::ReadString(const QString& section, const QString& key,
                                const QString& defaultValue) const {
    const Range range = SectionRange(lines_, section);
    if (range.header < 0) return defaultValue;
    const qsizetype at = KeyLine(lines_, range, key);
    if (at < 0) return defaultValue;
    const Line line = Classify(lines_[size_t(at)]);
    return line.hasValue ? line.value : defaultValue;
}

QStringList ProfileFile::ReadKeys(const QString& section) const {
    QStringList keys;
    const Range range = SectionRange(lines_, section);
    for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
        const Line line = Classify(lines_[size_t(i)]);
        if (line.kind == Line::Key) keys << line.name;
    }
    return keys;
}

bool ProfileFile::HoldsNoKeys() const {
    bool inSection = false;
    for (const QByteArray& bytes : lines_) {
        const Line line = Classify(bytes);
        if (line.kind == Line::Section) inSection = true;
        if (line.kind == Line::Key && inSection) return false;
    }
    return true;
}

bool ProfileFile::Change(const std::function<bool(Lines&)>& edit) {
    error_.clear();
    Lines lines;
    State state;
    if (!Load(lines, state, &error_)) return false;
    if (!edit(lines)) {  // nothing to change
        lines_ = std::move(lines);
        state_ = state;
        return true;
    }
    QByteArray bytes;
    for (const QByteArray& line : lines) bytes += line + "\r\n";
    QString why;
    if (!WriteBytes(bytes, &why)) {
        error_ = QStringLiteral("%1: %2").arg(path_, why);
        return false;
    }
    lines_ = std::move(lines);
    state_ = State::Read;
    return true;
}

bool ProfileFile::WriteString(const QString& section, const QString& key, const QString& value) {
    error_ = SectionProblem(section);
    if (error_.isEmpty()) error_ = KeyProblem(key);
    if (error_.isEmpty() && HasLineBreak(value))
        error_ = QStringLiteral("The value of \"%1\" holds a line break").arg(key);
    if (!error_.isEmpty()) return false;
    const QByteArray text = EncodeHostName(key + u'=' + Quoted(value));
    return Change([&](Lines& lines) {
        Range range = SectionRange(lines, section);
        if (range.header < 0) {
            lines.push_back(EncodeHostName(u'[' + section + u']'));
            lines.push_back(text);
            return true;
        }
        if (const qsizetype at = KeyLine(lines, range, key); at >= 0) {
            // The key keeps the spelling it has in the file.
            const Line old = Classify(lines[size_t(at)]);
            lines[size_t(at)] = EncodeHostName(old.name + u'=' + Quoted(value));
            return true;
        }
        // After the section's last line that is not blank, so blank lines stay between sections.
        qsizetype at = range.end;
        while (at > range.header + 1 && Classify(lines[size_t(at - 1)]).kind == Line::Blank) --at;
        lines.insert(lines.begin() + at, text);
        return true;
    });
}

bool ProfileFile::DeleteKey(const QString& section, const QString& key) {
    return Change([&](Lines& lines) {
        const Range range = SectionRange(lines, section);
        if (range.header < 0) return false;
        const qsizetype at = KeyLine(lines, range, key);
        if (at < 0) return false;
        lines.erase(lines.begin() + at);
        return true;
    });
}

bool ProfileFile::DeleteKeyInSections(const QStringList& sections, const QString& key) {
    return Change([&](Lines& lines) {
        bool changed = false;
        for (const QString& section : sections) {
            const Range range = SectionRange(lines, section);
            const qsizetype at = range.header < 0 ? -1 : KeyLine(lines, range, key);
            if (at < 0) continue;
            lines.erase(lines.begin() + at);
            changed = true;
        }
        return changed;
    });
}

bool ProfileFile::DeleteSection(const QString& section) {
    return Change([&](Lines& lines) {
        const Range range = SectionRange(lines, section);
        if (range.header < 0) return false;
        lines.erase(lines.begin() + range.header, lines.begin() + range.end);
        return true;
    });
}

bool ProfileFile::Remove() {
    error_.clear();
    QByteArray bytes;
    bool missing = false;
    if (host_.isEmpty() || !ReadBytes(bytes, missing, &error_)) {
        if (host_.isEmpty()) error_ = QStringLiteral("%1 is on no drive").arg(path_);
        return false;
    }
    if (!missing) {
        PinnedFolder folder;
        QString why;
        EntryIdentity identity;
        const bool removed = IsProgramPath(path_)
                                 ? PinFolder(FolderOf(path_), folder, why) &&
                                       StatEntryIn(folder, NameOf(host_), identity, why) &&
                                       RemoveFileIn(folder, NameOf(host_), identity, why)
                                 : RemoveHostFile(host_, &why);
        if (!removed) {
            error_ = QStringLiteral("%1: %2").arg(path_, why);
            return false;
        }
    }
    lines_.clear();
    state_ = State::Missing;
    return true;
}

}  // namespace cleanup
