#pragma once
// The files the program reads and writes itself by host path: the settings, profile files,
// ".hidden" lists, reports, pictures and exports. Names go to the system byte for byte (any
// bytes but '/' and NUL), and a file is never written through a symbolic link: a link where the
// file should be is refused, and every write replaces the file atomically (a new file beside
// it, flushed to the disk, renamed over it), so a crash leaves the old file or the new one.
// Folders on the way to a file are the user's and may be links; the file itself may not.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace platform {

class PinnedFolder;

enum class HostEntry { Missing, File, Folder, Link, Other, Unknown };

// What is at a host path, not following a link at its end unless told to (Unknown: it cannot be
// told).
HostEntry HostEntryAt(const QString& host, bool followLink = false);

// What tells a reader that keeps a file's contents whether they are still the file's: the file
// (device and inode), its length and when it was last written. The times move in the file
// system's clock steps, so a file written again within one step can keep its stamp: only a
// stamp written more than a second before it was taken (settled) vouches for the contents.
struct HostFileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modified = 0;  // nanoseconds since 1970, of the contents
    int64_t changed = 0;   // nanoseconds since 1970, of the inode
    bool settled = false;
    bool operator==(const HostFileStamp&) const = default;
};
// The stamp of the file at a host path, not through a link; nullopt when there is no file.
std::optional<HostFileStamp> HostFileStampAt(const QString& host);

// Reads a whole file, not through a link. False with why (also when the file is missing).
bool ReadHostFile(const QString& host, QByteArray& bytes, QString* why = nullptr);

// Writes a file whole, replacing it atomically; its permissions stay. False with why: a link at
// the path ("it is a symbolic link"), a missing folder (unless createFolders), the system's
// words; the old file then stays as it was.
bool ReplaceHostFile(const QString& host, const QByteArray& bytes, QString* why = nullptr,
                     bool createFolders = false);
// Whether ReplaceHostFile could write the file now (creating the folders it lacks).
bool CanReplaceHostFile(const QString& host);
// The same for the file name of a pinned folder.
bool ReplaceFileIn(const PinnedFolder& folder, const QByteArray& name, const QByteArray& bytes,
                   QString* why = nullptr);
// Reads the file name of a pinned folder, not through a link; a missing file reads as empty
// with missing set. False with why when it cannot be read.
bool ReadFileIn(const PinnedFolder& folder, const QByteArray& name, QByteArray& bytes,
                bool& missing, QString* why = nullptr);

// Where a host path really leads: the longest part of it that exists with its links and ".."
// resolved (as realpath does), and the rest as written. A relative path is taken from the folder
// the program was started in.
QString RealHostPath(const QString& host);

// Removes a file (a link: the link itself). True when it is gone or was never there.
bool RemoveHostFile(const QString& host, QString* why = nullptr);
// Creates a folder with its missing parents; true when a folder is there.
bool MakeHostFolders(const QString& host, QString* why = nullptr);
// Removes an empty folder; false when it stays.
bool RemoveHostFolder(const QString& host);

// A file read by host path, in sequence or at any position. The path may lead through links: it
// is the caller's to name ("/proc/self/fd/7" names an open file).
class HostInputFile {
public:
    HostInputFile() = default;
    ~HostInputFile();
    HostInputFile(const HostInputFile&) = delete;
    HostInputFile& operator=(const HostInputFile&) = delete;

    // False with why when no regular file can be opened there.
    bool Open(const QString& host, QString* why = nullptr);
    int64_t Size() const { return size_; }
    int64_t Position() const { return position_; }
    bool Seek(int64_t position);
    // Reads count bytes from the position on; false when fewer were there.
    bool Read(char* into, int64_t count);
    bool ReadByte(char& c) { return Read(&c, 1); }

private:
    bool Fill();

    int fd_ = -1;
    int64_t size_ = 0;
    int64_t position_ = 0;
    QByteArray buffer_;
    int64_t bufferStart_ = 0;  // the file position of buffer_'s first byte
};

}  // namespace platform
