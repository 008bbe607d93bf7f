#pragma once
// Profile (INI) files, read and written as the Windows profile functions do: section and key
// names are compared without regard to case and the first match wins; values are trimmed, and
// one pair of quotes enclosing a whole value is dropped; a write creates the file and the
// section when they are missing; a key or a whole section is deleted on request.
//
// The text is UTF-8 with CRLF line ends; bytes that are not UTF-8 come and go unchanged, as host
// names do. Every change reads the file again, applies itself to what is there now and replaces
// the file atomically (a temporary file in the same folder, flushed, renamed), so a crash leaves
// either the old or the new file. Lines a change does not touch are written back byte for byte;
// a line that is neither a section, a key nor a comment is kept and otherwise ignored. A file
// that exists but cannot be read is never replaced. The file is never a symbolic link (one is
// unreadable, and never written through), and the folder of a program path is reached from its
// drive's root without following a link.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace cleanup {

class ProfileFile {
public:
    enum class State {
        Missing,     // no file: reads as empty, the first write creates it
        Read,        // read as it is on disk
        Unreadable,  // it exists but cannot be read: reads as empty, writes fail
    };

    // path: a program path ("T:\Archives Bin\archives.ini") or a host path. Reads the file.
    explicit ProfileFile(const QString& path);

    State state() const { return state_; }
    // The path as given.
    QString Path() const { return path_; }

    // The value of the key in the first section of that name; defaultValue when either is
    // missing or the key's line has no "=".
    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // The keys of the first section of that name, in the order of the file (a line without "="
    // is a key too); empty when there is no such section.
    QStringList ReadKeys(const QString& section) const;
    // True when no section of the file holds a key (a missing file holds none).
    bool HoldsNoKeys() const;

    // Each answers false when the file could not be changed (ErrorText() says why): a name or
    // value a line cannot carry (a line break; "=" or a leading "[" or ";" in a key; "]" in a
    // section), a file that cannot be read, or a failed write. Deleting what is not there
    // succeeds without writing.
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool DeleteKey(const QString& section, const QString& key);
    // Deletes the key from each of the sections in one write: from all of them, or on failure from
    // none.
    bool DeleteKeyInSections(const QStringList& sections, const QString& key);
    bool DeleteSection(const QString& section);
    // Deletes the file; true when it is gone (or was never there).
    bool Remove();

    // Why the last change failed, or, before any change, why the file could not be read.
    QString ErrorText() const { return error_; }

private:
    using Lines = std::vector<QByteArray>;
    bool Change(const std::function<bool(Lines&)>& edit);
    bool ReadBytes(QByteArray& bytes, bool& missing, QString* error) const;
    bool WriteBytes(const QByteArray& bytes, QString* error) const;
    bool Load(Lines& lines, State& state, QString* error) const;

    QString path_;
    QString host_;
    State state_ = State::Missing;
    Lines lines_;
    QString error_;
};

}  // namespace cleanup
