#include "cleanup/ArchiveCore.h"

#include <QCoreApplication>

#include "cleanup/ArchivesRegister.h"
#include "cleanup/ZipDirectory.h"
#include "engine/TextForms.h"
#include "platform/Drives.h"
#include "platform/EntryDigest.h"
#include "platform/HostNames.h"
#include "platform/PinnedFolder.h"
#include "platform/TreeSurvey.h"

namespace cleanup {

namespace {

constexpr qsizetype kShown = 10;

// What did not go as asked, gathered for one message.
class Problems {
public:
    void Add(const QString& text) {
        if (!text.isEmpty() && !lines_.contains(text)) lines_ << text;
    }
    void Add(const QStringList& texts) {
        for (const QString& text : texts) Add(text);
    }
    bool Empty() const { return lines_.isEmpty(); }
    const QStringList& Lines() const { return lines_; }
    // The heading, then the first ten, and how many more there are.
    QString Text(const QString& heading) const {
        if (lines_.isEmpty()) return {};
        QString text = heading + u'\n' + lines_.mid(0, kShown).join(u'\n');
        if (lines_.size() > kShown)
            text += QStringLiteral("\n... and %1 more.").arg(lines_.size() - kShown);
        return text;
    }

private:
    QStringList lines_;
};

QString LastComponent(const QString& path) {
    const QString clean = engine::RemoveBackslash(path);
    return clean.mid(clean.lastIndexOf(u'\\') + 1);
}

// A name that can stand for one folder: no separator, not "." or "..".
bool IsPlainName(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0');
}

// A folder inside another, or the same one; letter case is not trusted to tell them apart.
bool IsSameOrInside(const QString& path, const QString& folder) {
    return engine::AddBackslash(path).startsWith(engine::AddBackslash(folder), Qt::CaseInsensitive);
}

// An engine set up for one run: its libraries, its progress handed on, its messages gathered,
// and the caller's stop.
class EngineRun {
public:
    EngineRun(const QString& engineFolder, QWidget* owner, const ArchiveCallbacks& callbacks,
              const QString& handlePrefix, const QString& programPrefix)
        : zip(owner) {
        if (!engineFolder.isEmpty()) zip.SetDLLDirectory(engineFolder);
        zip.OnProgress = [this, &callbacks](TZipEngine*, ProgressType kind, const QString& name,
                                            int64_t size) {
            if (callbacks.progress && !callbacks.progress(kind, name, size)) {
                stopped = true;
                zip.RequestCancel();
            }
        };
        // The engine names the archive by its descriptor's path; the user knows it by its own.
        zip.OnMessage = [this, handlePrefix, programPrefix](TZipEngine*, int code,
                                                            const QString& text) {
            if (code == 0) return;
            QString message = text;
            if (!handlePrefix.isEmpty()) message.replace(handlePrefix, programPrefix);
            messages.Add(message);
        };
    }

    TZipEngine zip;
    Problems messages;
    bool stopped = false;
};

// The space a survey of the entry name of a pinned folder counts; 0 when the entry is gone or is
// another one now.
int64_t UsedSpace(const platform::PinnedItem& item, const platform::SurveyOptions& options) {
    platform::EntryIdentity now;
    QString why;
    if (!platform::StatEntryIn(item.parent, item.name, now, why) || !now.SameFile(item.identity))
        return 0;
    return platform::SurveyEntry(item.parent, item.name, options).used;
}

}  // namespace

ArchiveResult ArchiveFolder(const ArchiveRequest& request, const ArchiveCallbacks& callbacks) {
    ArchiveResult result;
    const QString folderPath = engine::RemoveBackslash(request.folder);
    const QChar letter = request.archiveDrive.toUpper();
    const QString archives = ArchivesFolderOf(letter);
    const auto refuse = [&](const QString& why) {
        result.refusal = why;
        return result;
    };
    if (IsSameOrInside(folderPath, archives))
        return refuse(QStringLiteral("The folder %1 holds the archives of drive %2: and cannot be "
                                     "archived into them.")
                          .arg(folderPath, letter));
    platform::PinnedItem folder;
    QString why;
    if (!platform::PinItem(folderPath, folder, why))
        return refuse(QStringLiteral("The folder %1 cannot be archived: %2.").arg(folderPath, why));
    if (!folder.identity.IsFolder())
        return refuse(QStringLiteral("%1 is not a folder.").arg(folderPath));
    if (folder.mountPoint)
        return refuse(QStringLiteral("The folder %1 cannot be archived: another file system is "
                                     "mounted on it, which is a drive of its own.")
                          .arg(folderPath));

    // Before anything is written: what the archive will hold, and whether all of it can go.
    platform::SurveyOptions survey;
    survey.subfolders = request.subfolders;
    survey.hiddenFiles = request.hiddenFiles;
    survey.forRemoval = request.move;
    survey.clusterSize = request.clusterSize;
    const platform::TreeSurvey before =
        platform::SurveyEntry(folder.parent, folder.name, survey, [] {
            QCoreApplication::processEvents();
            return true;
        });
    if (request.move && !before.problems.isEmpty()) {
        Problems stops;
        stops.Add(before.problems);
        return refuse(stops.Text(
            QStringLiteral("The folder %1 cannot be moved into an archive; nothing was written "
                           "and nothing deleted:")
                .arg(folderPath)));
    }

    platform::PinnedFolder bin;
    if (!PinArchivesFolder(letter, bin, true, why))
        return refuse(QStringLiteral("Could not create folder ") + archives + u'\n' + why);
    if (bin.Identity().SameFile(folder.identity))
        return refuse(QStringLiteral("The folder %1 holds the archives of drive %2: and cannot be "
                                     "archived into them.")
                          .arg(folderPath, letter));
    const QString key = UniqueArchiveKey(bin, letter);
    result.archive = engine::AddBackslash(archives) + key;

    // The entry goes into the register before the engine may remove a file, so an archive
    // that took the folder's files is never left out of it.
    TArchivesRegister archivesRegister(archives);
    try {
        archivesRegister.Record(key, request.description, LastComponent(folderPath),
                                engine::ParentFolderPath(folderPath));
    } catch (const ERegisterWrite& e) {
        archivesRegister.RemoveWhenEmpty();
        return refuse(QString::fromStdString(e.what()));
    }

    const QString handle = bin.HandlePath();
    EngineRun run(request.engineFolder, request.owner, callbacks, handle + u'/',
                  engine::AddBackslash(archives));
    TZipEngine& zip = run.zip;
    AddOpts options{AddDirNames};
    if (request.subfolders) options.Include(AddRecurseDirs);
    if (request.hiddenFiles) options.Include(AddHiddenFiles);
    if (request.move) options.Include(AddMove);
    if (request.encrypt) options.Include(AddEncrypt);
    zip.AddOptions = options;
    zip.AddCompLevel = request.compressionLevel;
    const QString archiveHost = handle + u'/' + key;
    bool fatal = false;
    {
        // The engine works in the folder's own parent, reached through its descriptor: the
        // archive stores paths that begin with the folder's name.
        if (!platform::RepinUnchangedItem(folder, why)) {
            run.messages.Add(QStringLiteral("%1: %2").arg(folderPath, why));
        } else {
            zip.BaseFolder = &folder.parent;
            zip.FileSpecs = {platform::ProgramNameOf(platform::DecodeHostName(folder.name)) +
                             QStringLiteral("\\*.*")};
            if (callbacks.started) callbacks.started(before.bytes);
            try {
                zip.SetZipFilename(archiveHost);
                zip.AddFiles();
            } catch (...) {
                fatal = true;
            }
        }
    }
    result.sourcesTouched = request.move && zip.ResultCount() > 0;
    for (const QString& mount : before.mountPoints)
        run.messages.Add(QStringLiteral("%1: another file system is mounted on it; it was not "
                                        "archived and stays, with the folders that hold it")
                             .arg(mount));

    platform::PinnedFile written;
    const bool exists = written.Open(bin, key.toLatin1(), why);
    bool readsBack = false;
    if (exists) {
        try {
            zip.SetZipFilename(written.HandlePath());
            readsBack = zip.Count() > 0;
        } catch (const EZipReadError&) {
        }
    }
    // An archive that took files stays registered even where this reader cannot follow it: the
    // engine read it back itself before it deleted anything.
    if (!exists || (!readsBack && !result.sourcesTouched)) {
        try {
            archivesRegister.Forget(key);
        } catch (const ERegisterWrite&) {
            // The next listing drops an entry whose archive is missing.
        }
        archivesRegister.RemoveWhenEmpty();
        if (fatal)
            run.messages.Add("A fatal error encountered while compressing to the ZIP archive");
        result.problems = run.messages.Text(QStringLiteral("The folder was not archived:"));
        return result;
    }
    result.archived = true;
    result.archiveSize = written.Identity().size;
    if (request.move) {
        survey.forRemoval = false;
        result.freed = std::max<int64_t>(before.used - UsedSpace(folder, survey), 0);
        result.gained = result.freed - result.archiveSize;
    }
    if (fatal) run.messages.Add("A fatal error encountered while compressing to the ZIP archive");
    result.problems = run.messages.Text(
        request.move ? QStringLiteral("The archive was written, but not everything went into it "
                                      "or left the folder:")
                     : QStringLiteral("The archive was written, but not everything went into it:"));
    return result;
}

RestoreResult RestoreArchive(const RestoreRequest& request, const ArchiveCallbacks& callbacks) {
    RestoreResult result;
    const QChar letter = request.drive.toUpper();
    const QString archives = ArchivesFolderOf(letter);
    result.archive = engine::AddBackslash(archives) + request.key;
    TArchivesRegister archivesRegister(archives);
    const QString folderName = archivesRegister.FolderName(request.key);
    QString base = request.target;
    base = engine::IsDriveRoot(base) ? base.left(2) + u'\\' : engine::RemoveBackslash(base);
    result.restoredPath = engine::AddBackslash(base) + folderName;
    const auto refuse = [&](const QString& why) {
        result.refusal = why;
        return result;
    };
    const QByteArray name = platform::EncodeHostName(platform::HostNameOf(folderName));
    if (!IsArchiveKey(request.key) || !IsPlainName(name))
        return refuse(QStringLiteral("The register of drive %1: names no folder that can be "
                                     "restored from %2.")
                          .arg(letter)
                          .arg(request.key));

    platform::PinnedFolder bin;
    platform::PinnedFile archive;
    QString why;
    if (!PinArchivesFolder(letter, bin, false, why) ||
        !archive.Open(bin, platform::EncodeHostName(request.key), why))
        return refuse(QStringLiteral("The archive %1 cannot be read: %2").arg(result.archive, why));
    std::vector<ZipDirectoryEntry> entries;
    if (!ReadZipDirectory(archive, entries, why))
        return refuse(QStringLiteral("The archive %1 cannot be read: %2").arg(result.archive, why));

    // Only what lies below the folder's own name comes back, and only into it.
    const QByteArray prefix = name + '/';
    std::vector<const ZipDirectoryEntry*> wanted;
    Problems problems;
    for (const ZipDirectoryEntry& entry : entries) {
        if (entry.name == name || entry.name.startsWith(prefix))
            wanted.push_back(&entry);
        else
            problems.Add(QStringLiteral("%1: it lies outside the folder %2 and was not restored")
                             .arg(platform::DecodeHostName(entry.name), folderName));
    }

    platform::PinnedFolder target;
    if (!platform::PinFolder(base, target, why, /*createMissing=*/true))
        return refuse(QStringLiteral("Could not create folder %1: %2").arg(base, why));
    platform::EntryIdentity existing;
    if (platform::StatEntryIn(target, name, existing, why)) {
        if (!existing.IsFolder())
            return refuse(QStringLiteral("%1 exists and is no folder (%2); nothing was restored.")
                              .arg(result.restoredPath, existing.IsLink()
                                                            ? QStringLiteral("a symbolic link")
                                                            : QStringLiteral("a file")));
        // Restoring an older archive over a folder that is there replaces its newer files of
        // the same names: the user says so first.
        const QString question =
            QStringLiteral(
                "The folder %1 already exists. Restoring the archive into it "
                "replaces every file in it that has the same name as a file in "
                "the archive; its other files stay as they are.\n\n"
                "Do you want to restore the folder over the existing one?")
                .arg(result.restoredPath);
        if (!callbacks.confirm || !callbacks.confirm(question)) {
            result.declined = true;
            return result;
        }
    }

    EngineRun run(request.engineFolder, request.owner, callbacks, archive.HandlePath(),
                  result.archive);
    TZipEngine& zip = run.zip;
    bool fatal = false;
    {
        if (!target.IsOpen()) return refuse(QStringLiteral("Could not open folder %1").arg(base));
        zip.BaseFolder = &target;
        try {
            zip.SetZipFilename(archive.HandlePath());
        } catch (const EZipReadError&) {
            // The local headers of an archive written as a stream carry no sizes; the central
            // directory read above is what counts.
        }
        zip.ExtrBaseDir.clear();
        zip.ExtrOptions = ExtrOpts{ExtrDirNames, ExtrOverWrite};
        zip.FileSpecs = {platform::ProgramNameOf(platform::DecodeHostName(name)) + u'/'};
        int64_t total = 0;
        for (const ZipDirectoryEntry* entry : wanted) total += entry->size;
        if (callbacks.started) callbacks.started(total);
        try {
            zip.ExtractFiles();
        } catch (...) {
            fatal = true;
        }
    }
    if (fatal) problems.Add("A fatal error encountered while restoring from the ZIP archive");
    problems.Add(run.messages.Lines());

    // Every entry must now be on the disk as the archive records it, read through the target's
    // own descriptor.
    const auto keepGoing = [&] {
        QCoreApplication::processEvents();
        return !run.stopped;
    };
    for (const ZipDirectoryEntry* entry : wanted) {
        if (run.stopped) break;
        const platform::EntryDigest found = platform::DigestEntry(target, entry->name, keepGoing);
        const QString shown = platform::DecodeHostName(entry->name);
        const bool kindRight = entry->IsFolder() ? found.kind == platform::EntryKind::Folder
                               : entry->IsLink() ? found.kind == platform::EntryKind::Link
                                                 : found.kind == platform::EntryKind::File ||
                                                       found.kind == platform::EntryKind::Link;
        if (!kindRight) {
            problems.Add(QStringLiteral("%1: it was not restored").arg(shown));
        } else if (!entry->IsFolder() && (found.length != entry->size ||
                                          (entry->CrcKnown() && found.crc != entry->crc))) {
            problems.Add(
                QStringLiteral("%1: it does not read back as the archive holds it").arg(shown));
        }
    }
    if (run.stopped) problems.Add(QStringLiteral("The restore was stopped."));
    result.restored = problems.Empty() && !wanted.empty();
    if (result.restored && request.deleteArchive) {
        // The very archive that was read, nothing that took its name meanwhile.
        platform::EntryIdentity now;
        if (platform::StatEntryIn(bin, platform::EncodeHostName(request.key), now, why) &&
            now.Unchanged(archive.Identity()) && DeleteArchive(letter, request.key, why))
            result.archiveDeleted = true;
        else
            problems.Add(
                QStringLiteral("Could not delete archive %1: %2").arg(result.archive, why));
    }
    result.problems = problems.Text(QStringLiteral("What did not come back:"));
    return result;
}

bool DeleteArchive(QChar drive, const QString& key, QString& why) {
    const QString archives = ArchivesFolderOf(drive.toUpper());
    if (!IsOwnArchiveName(key)) {
        why = QStringLiteral("%1 is not named as Quillon Pro names its archives; it is kept")
                  .arg(key);
        return false;
    }
    platform::PinnedFolder bin;
    platform::EntryIdentity identity;
    const QByteArray name = key.toLatin1();
    if (!PinArchivesFolder(drive, bin, false, why) ||
        !platform::StatEntryIn(bin, name, identity, why))
        return false;
    if (!identity.IsFile()) {
        why = QStringLiteral("it is not a file");
        return false;
    }
    if (!platform::RemoveFileIn(bin, name, identity, why)) return false;
    TArchivesRegister archivesRegister(archives);
    try {
        archivesRegister.Forget(key);
        // With the last archive go the register and the folder, as the listing would do.
        archivesRegister.RemoveWhenEmpty();
    } catch (const ERegisterWrite&) {
        // The listing drops the entry of a missing archive again.
    }
    return true;
}

}  // namespace cleanup
