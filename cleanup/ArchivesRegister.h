#pragma once
// The archives of a drive: the hidden folder "Archives Bin" at the drive's root, the archives
// in it (named by the drive letter, seven or eight hexadecimal digits and ".ZIP"), and the
// register "archives.ini" beside them. The register has three sections keyed by the archive's
// file name: "Descriptions" (what the user typed), "FolderNames" (the archived folder's own
// name) and "OriginalPaths" (the folder it stood in). An archive is registered when its key is
// in "Descriptions".

#include <QChar>
#include <QString>
#include <QStringList>
#include <stdexcept>

#include "cleanup/ProfileFile.h"
#include "platform/PinnedFolder.h"

inline const QString kArchivesFolderName = QStringLiteral("Archives Bin");
inline const QString kRegisterFileName = QStringLiteral("archives.ini");
inline const QString kDescriptionsSection = QStringLiteral("Descriptions");
inline const QString kFolderNamesSection = QStringLiteral("FolderNames");
inline const QString kOriginalPathsSection = QStringLiteral("OriginalPaths");

// "T:\Archives Bin" for the letter t or T.
QString ArchivesFolderOf(QChar driveLetter);

// Pins the archives folder of a drive, reached from the drive's root without following a link.
// With create, a folder that is missing is created and given the hidden attribute (on Linux
// through the root's ".hidden" list, so that it keeps its name). False with why when no folder
// can be had there (a link stands there, or it cannot be made); a folder that was there is left
// as it is.
bool PinArchivesFolder(QChar driveLetter, platform::PinnedFolder& folder, bool create,
                       QString& why);
// The same by the folder's path; false when no folder is there afterwards.
bool CreateArchivesFolder(const QString& folder);

// A name for a new archive in the pinned archives folder that nothing occupies: the drive
// letter, a random number from 0 to 2147483646 as at least seven upper-case hexadecimal digits,
// and ".ZIP". The generator is seeded once, from the clock.
QString UniqueArchiveKey(const platform::PinnedFolder& archivesFolder, QChar driveLetter);

// True for a key that can name an archive in the folder: a plain file name, no separators or
// wildcards. A register edited by hand may hold others, which name no archive.
bool IsArchiveKey(const QString& key);
// True for a name the program gives its own archives ("T0A1B2C3D.ZIP"): only such a file is
// ever deleted as an archive, whatever a register edited by hand may name.
bool IsOwnArchiveName(const QString& key);

// A register write that failed: "Unable to write to " and the register's path.
class ERegisterWrite : public std::runtime_error {
public:
    explicit ERegisterWrite(const QString& registerPath);
};

// One drive's register, read when made. Reads follow the profile functions' rules (first
// section and first key of a name win); the writes throw ERegisterWrite when the file cannot be
// changed.
class TArchivesRegister {
public:
    explicit TArchivesRegister(const QString& archivesFolder);

    QString Folder() const { return folder_; }
    QString FilePath() const { return file_.Path(); }
    // The path of an archive of the folder.
    QString ArchivePath(const QString& key) const;

    // Why the register exists but cannot be read (a link where it should be, say); empty when it
    // was read or is missing.
    QString ReadError() const;

    // The keys of "Descriptions", in the order of the file.
    QStringList Keys() const;
    QString Description(const QString& key) const;  // "No description" when absent
    QString FolderName(const QString& key) const;   // empty when absent
    // The folder the archived folder stood in; when absent, the root of the drive the program
    // itself is on.
    QString OriginalPath(const QString& key) const;

    // Writes the three values of a key.
    void Record(const QString& key, const QString& description, const QString& folderName,
                const QString& originalPath);
    void SetDescription(const QString& key, const QString& description);
    // Deletes the key from the three sections, in one write.
    void Forget(const QString& key);

    // When the register holds no key in any section, and could be read: deletes it, removes the
    // archives folder if nothing else is in it, and takes the folder off the root's ".hidden"
    // list once it is gone. Failures are ignored: nothing is lost by them.
    void RemoveWhenEmpty();

private:
    void Check(bool written) const;

    QString folder_;
    cleanup::ProfileFile file_;
};
