#pragma once
// TZipEngine: adds files to and extracts them from ZIP archives through the outside engine
// (libzipadd.so and libzipext.so, loaded for each operation), and keeps the list of entries
// of the archive it points at, read from the archive's local file headers.
//
// Paths may be program paths ("C:\Archives Bin\C1A2B3C4.ZIP") or host paths; file
// patterns are relative to the current folder ("Documents\*.*"). Messages are plain
// message boxes with an OK button (desktop::ShowMessage).

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <vector>

class QWidget;
namespace platform {
class PinnedFolder;
}
struct ZipCallbackRecord;

enum AddOptsEnum {
    AddDirNames,
    AddRecurseDirs,
    AddMove,
    AddFreshen,
    AddUpdate,
    AddZipTime,
    AddForceDOS,
    AddHiddenFiles,
    AddEncrypt,
};
enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
enum OverWriteOpts { OvrConfirm, OvrAlways, OvrNever };
enum ProgressType { ProgressFileStart, ProgressStep, ProgressBatchEnd };

// A set of options, one bit per enumerator (the enumerator is the bit number).
template <typename E>
class OptionSet {
public:
    OptionSet() = default;
    OptionSet(std::initializer_list<E> options) {
        for (E e : options) Include(e);
    }
    bool Contains(E e) const { return bits_ & (1u << unsigned(e)); }
    OptionSet& Include(E e) {
        bits_ |= 1u << unsigned(e);
        return *this;
    }
    OptionSet& Exclude(E e) {
        bits_ &= ~(1u << unsigned(e));
        return *this;
    }
    uint32_t bits() const { return bits_; }
    bool operator==(const OptionSet&) const = default;

private:
    uint32_t bits_ = 0;
};
using AddOpts = OptionSet<AddOptsEnum>;
using ExtrOpts = OptionSet<ExtrOptsEnum>;

// One local file header: the 26 bytes after its signature, as stored, and the entry's name.
// The 64-bit sizes are the header's, or those of its ZIP64 extra field where the header holds
// 0xFFFFFFFF.
struct ZipEntryHeader {
    uint16_t VersionNeeded = 0;
    uint16_t Flag = 0;
    uint16_t ComprMethod = 0;
    uint16_t ModifTime = 0;
    uint16_t ModifDate = 0;
    uint32_t CRC32 = 0;
    uint32_t ComprSize = 0;
    uint32_t UncomprSize = 0;
    uint16_t FileNameLen = 0;
    uint16_t ExtraFieldLen = 0;
    QString FileName;
    int64_t CompressedSize = 0;
    int64_t UncompressedSize = 0;
};

// A damaged archive met while reading the entry list ("Error 3 reading Zip file", ...).
class EZipReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TZipEngine {
public:
    using NotifyEvent = std::function<void(TZipEngine* sender)>;
    using ProgressEvent = std::function<void(TZipEngine* sender, ProgressType kind,
                                             const QString& fileName, int64_t fileSize)>;
    using MessageEvent =
        std::function<void(TZipEngine* sender, int errCode, const QString& message)>;

    // owner: the form whose window the engine's own dialogs belong to, and over which the
    // messages are shown; may be null.
    explicit TZipEngine(QWidget* owner = nullptr);
    ~TZipEngine();
    TZipEngine(const TZipEngine&) = delete;
    TZipEngine& operator=(const TZipEngine&) = delete;

    bool Verbose = false;
    bool Trace = false;  // also verbose; says when a library was loaded
    int AddCompLevel = 9;
    AddOpts AddOptions;
    QString ExtrBaseDir;
    // The folder an add's file patterns start from while it runs (null: the process's
    // current folder); the engine reaches it through its descriptor, so the process's current
    // folder is never changed. An extraction starts from ExtrBaseDir when that is set.
    const platform::PinnedFolder* BaseFolder = nullptr;
    ExtrOpts ExtrOptions;
    // Kept for the owner; no operation uses them.
    uint32_t SFXOptions = 0;
    QString SFXPath;
    OverWriteOpts SFXOverWriteMode = OvrConfirm;
    QString SFXCaption = QStringLiteral("Self-extracting Archive");
    QString SFXDefaultDir;
    QString SFXCommandLine;
    // What the next operation works on: for adding, what to add; for extracting, the entry
    // names (empty: every entry). Emptied by each operation.
    QStringList FileSpecs;
    QString Password;  // at most 80 characters reach the engine

    NotifyEvent OnDirUpdate;  // after every reading of the entry list
    ProgressEvent OnProgress;
    MessageEvent OnMessage;

    QString ZipFilename() const { return zipFilename_; }
    // Sets the archive and reads its entry list; a damaged archive throws EZipReadError after
    // OnDirUpdate.
    void SetZipFilename(const QString& name);

    QString DLLDirectory() const { return dllDirectory_; }
    // The folder the libraries are looked for in first; one trailing separator is dropped.
    void SetDLLDirectory(const QString& folder);

    // Adds FileSpecs to ZipFilename and, when anything was added, reads the entry list again
    // (which may throw EZipReadError). Shows "Error - no files to zip" or "Error - no zip file
    // specified" and does nothing when either is missing; returns at once while an add runs.
    void AddFiles();
    // Extracts the entries named by FileSpecs (all when empty) into ExtrBaseDir when it names an
    // existing folder, otherwise into BaseFolder or the current folder; the process's current
    // folder stays as it is.
    void ExtractFiles();
    // The engine stops at its next callback.
    void RequestCancel() { cancel_ = true; }

    bool AddBusy() const { return addBusy_; }
    bool ExtractBusy() const { return extractBusy_; }
    // Files, folders and links the last operation added or extracted.
    int ResultCount() const { return resultCount_; }
    int Count() const { return int(entries_.size()); }
    const ZipEntryHeader& Entry(int index) const { return *entries_.at(size_t(index)); }
    const std::vector<std::unique_ptr<ZipEntryHeader>>& ZipContents() const { return entries_; }
    // Where the first local header was found; -1 when none was.
    int64_t FirstHeaderOffset() const { return firstHeaderOffset_; }

    // The file a library is looked for as ("ZIPADD.DLL" is "libzipadd.so").
    static QString HostLibraryName(const QString& dllName);

private:
    struct Library;
    std::unique_ptr<Library> LoadEngine(bool adding);
    void CallEngine(bool adding, bool& busy, const platform::PinnedFolder* base,
                    const std::function<int32_t(void* exec)>& call);
    void ReadEntryList();
    void ReadEntries();
    void Show(const QString& text) const;
    static int32_t Callback(ZipCallbackRecord* record);

    QWidget* owner_;
    QString zipFilename_;
    QString dllDirectory_;
    std::vector<std::unique_ptr<ZipEntryHeader>> entries_;
    bool addBusy_ = false;
    bool extractBusy_ = false;
    bool cancel_ = false;
    int resultCount_ = 0;
    int64_t firstHeaderOffset_ = -1;
    bool handlerFailed_ = false;
};
