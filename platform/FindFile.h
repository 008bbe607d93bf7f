#pragma once
// Directory enumeration in the find-first / find-next form, and the attribute query of a path.
// Paths are program paths ("C:\dir\*.*"); entries carry what a Windows find gives.
//
// Host facts become Windows facts: a symbolic link is a file (reparse-point attribute, its own
// length), never followed; a folder on which another file system is mounted lists as empty;
// names starting with '.' are hidden; the short name is always empty.

#include <QString>
#include <cstdint>
#include <memory>

#include "platform/WinTypes.h"

namespace platform {

struct FindData {
    uint32_t attributes = 0;
    FileTime creationTime = 0;  // 0 when the file system keeps no birth time
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    int64_t size = 0;  // 0 for folders
    QString name;
    QString shortName;  // Linux keeps no 8.3 names
};

enum class FindError {
    None,
    NoMoreFiles,   // the listing is done (or matched nothing)
    PathNotFound,  // the folder or the named entry does not exist
    AccessDenied,
    Other,
};

// True when name matches a Windows wildcard mask: '*' any run, '?' one character, letter case
// ignored; "*.*" and "*" match every name.
bool MatchesMask(QStringView name, QStringView mask);
bool HasWildcards(QStringView path);

// One enumeration. The handle is released when FindNext runs out, on Close and on destruction,
// so an early return never leaks it.
class FindHandle {
public:
    FindHandle();
    ~FindHandle();
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    // pattern is a folder path, a backslash and a mask ("C:\dir\*.tmp") or an exact name
    // ("C:\dir\file.txt", which finds that one entry). "." and ".." are never returned.
    // False when nothing was found; error() says why.
    bool FindFirst(const QString& pattern, FindData& data);
    bool FindNext(FindData& data);
    void Close();

    FindError error() const { return error_; }
    QString errorText() const { return errorText_; }

private:
    struct Listing;
    std::unique_ptr<Listing> listing_;
    FindError error_ = FindError::None;
    QString errorText_;
};

// The attributes of a file or folder (no wildcards), INVALID_FILE_ATTRIBUTES when it does not
// exist or cannot be reached. A drive root is a folder.
uint32_t GetFileAttributes(const QString& path);

}  // namespace platform
