#include "cleanup/ZipEngine.h"

#include <QCoreApplication>
#include <cstring>

#include "cleanup/ZipBytes.h"
#include "desktop/MessageBox.h"
#include "platform/Drives.h"
#include "platform/HostFiles.h"
#include "platform/HostNames.h"
#include "platform/Library.h"
#include "platform/PinnedFolder.h"
#include "zipengine/ZipBlocks.h"

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndOfCentralSignature = 0x06054B50;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint32_t kZip64Marker = 0xFFFFFFFF;
constexpr int64_t kSelfExtractorCodeSize = 14000;
constexpr int kMaxSearchAttempts = 60000;
constexpr int kLocalHeaderSize = 26;
constexpr int kEndOfCentralSize = 22;
constexpr qsizetype kMaxPasswordLength = 80;

using zip_bytes::Le16;
using zip_bytes::Le32;
using zip_bytes::Le64;

bool IsFileAt(const QString& host) {
    return platform::HostEntryAt(host, /*followLink=*/true) == platform::HostEntry::File;
}

bool IsProgramPath(const QString& path) {
    return path.size() >= 2 && path[1] == u':' && path[0].isLetter();
}

// Program paths go through the drive map; anything else is a host path already.
QString HostPathOf(const QString& path) {
    return IsProgramPath(path) ? platform::ToHostPath(path) : path;
}

// A file pattern as the engine reads it: '/' between names, and the '＼' that stands
// for a host name's '\' turned back. The mask after the last separator is kept as it is.
QByteArray HostPatternOf(const QString& pattern) {
    if (IsProgramPath(pattern)) {
        const qsizetype cut = pattern.lastIndexOf(u'\\');
        if (cut > 2)
            return platform::EncodeHostName(platform::ToHostPath(pattern.left(cut)) + u'/' +
                                            pattern.mid(cut + 1));
        return platform::EncodeHostName(platform::ToHostPath(pattern));
    }
    QString host = pattern;
    host.replace(u'\\', u'/');
    host.replace(QChar(0xFF3C), u'\\');
    return platform::EncodeHostName(host);
}

QString ExtensionOf(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    const QString name = path.mid(cut + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

// The texts handed to the engine: buffers of the blocks' size, owned for one call.
class TextBuffers {
public:
    char* Add(const QByteArray& text) {
        auto& buffer = buffers_.emplace_back(std::make_unique<char[]>(kZipTextBufferSize));
        const auto length = std::min<qsizetype>(text.size(), kZipTextBufferSize - 1);
        std::memcpy(buffer.get(), text.constData(), size_t(length));
        buffer[size_t(length)] = 0;
        return buffer.get();
    }

private:
    std::vector<std::unique_ptr<char[]>> buffers_;
};

int32_t FlagOf(bool on) {
    return on ? -1 : 0;
}

// Sequential reads of the archive for the entry list.
class HeaderReader {
public:
    explicit HeaderReader(platform::HostInputFile& file) : file_(file) {}
    bool Byte(char& c) { return file_.ReadByte(c); }
    bool Bytes(char* into, qint64 count) { return count == 0 || file_.Read(into, count); }
    qint64 Position() const { return file_.Position(); }
    bool Seek(qint64 position) { return file_.Seek(position); }

private:
    platform::HostInputFile& file_;
};

}  // namespace

struct TZipEngine::Library {
    platform::LoadedLibrary library;
    void* exec = nullptr;
};

TZipEngine::TZipEngine(QWidget* owner) : owner_(owner) {}

TZipEngine::~TZipEngine() = default;

QString TZipEngine::HostLibraryName(const QString& dllName) {
    const QString name = dllName.mid(dllName.lastIndexOf(u'/') + 1);
    return QStringLiteral("lib") + name.left(name.lastIndexOf(u'.')).toLower() +
           QStringLiteral(".so");
}

void TZipEngine::Show(const QString& text) const {
    desktop::ShowMessage(
        owner_, {QStringLiteral("Quillon Pro"), text, desktop::MessageIcon::None, desktop::Ok});
}

void TZipEngine::SetDLLDirectory(const QString& folder) {
    QString value = folder;
    if (value.size() > 1 && (value.endsWith(u'\\') || value.endsWith(u'/'))) value.chop(1);
    dllDirectory_ = value;
}

// DLLDirectory first, then the program's own folder, then the system's library search.
std::unique_ptr<TZipEngine::Library> TZipEngine::LoadEngine(bool adding) {
    const QString dllName = adding ? QStringLiteral("ZIPADD.DLL") : QStringLiteral("ZIPEXT.DLL");
    const QString file = HostLibraryName(dllName);
    QString path;
    if (!dllDirectory_.isEmpty()) {
        const QString candidate = HostPathOf(dllDirectory_) + u'/' + file;
        if (IsFileAt(candidate)) path = candidate;
    }
    if (path.isEmpty() && QCoreApplication::instance()) {
        const QString candidate = QCoreApplication::applicationDirPath() + u'/' + file;
        if (IsFileAt(candidate)) path = candidate;
    }
    if (path.isEmpty()) path = file;

    auto engine = std::make_unique<Library>();
    if (!engine->library.Load(path)) {
        Show(file + QStringLiteral(" not found"));
        return nullptr;
    }
    if (Trace) Show(adding ? QStringLiteral("ZIPADD Loaded") : QStringLiteral("ZIPEXT Loaded"));
    const char* execName = adding ? "ZipAddExec" : "ZipExtExec";
    const char* versionName = adding ? "GetZipAddVersion" : "GetZipExtVersion";
    engine->exec = engine->library.Symbol(execName);
    if (!engine->exec)
        Show(QLatin1String(execName) + QStringLiteral(" function not found in ") + file);
    if (!engine->library.Symbol(versionName))
        Show(QLatin1String(versionName) + QStringLiteral(" function not found in ") + file);
    if (!engine->exec) return nullptr;
    return engine;
}

int32_t TZipEngine::Callback(ZipCallbackRecord* record) {
    auto* self = static_cast<TZipEngine*>(record->caller);
    // A handler's exception must not unwind through the engine, which is C to us: it stops
    // the engine instead and is reported when the engine has returned.
    try {
        const QString text = platform::DecodeHostName(
            record->text, qsizetype(strnlen(record->text, sizeof record->text)));
        switch (record->actionCode) {
            case ZipActionFileStart:
                if (self->OnProgress)
                    self->OnProgress(self, ProgressFileStart, text, record->fileSize);
                break;
            case ZipActionStep:
                if (self->OnProgress) self->OnProgress(self, ProgressStep, QStringLiteral(" "), 0);
                break;
            case ZipActionBatchEnd:
                if (self->OnProgress)
                    self->OnProgress(self, ProgressBatchEnd, QStringLiteral(" "), 0);
                break;
            default:
                if (record->actionCode >= ZipActionMessage && self->OnMessage) {
                    QString message = text;
                    for (int i = 0; i < 2 && (message.endsWith(u'\r') || message.endsWith(u'\n'));
                         ++i)
                        message.chop(1);
                    self->OnMessage(self, record->errorCode, message);
                }
                break;
        }
    } catch (...) {
        self->handlerFailed_ = true;
        self->cancel_ = true;
    }
    return self->cancel_ ? -1 : 0;
}

void TZipEngine::AddFiles() {
    resultCount_ = 0;
    if (FileSpecs.isEmpty()) {
        Show(QStringLiteral("Error - no files to zip"));
        return;
    }
    if (zipFilename_.isEmpty()) {
        Show(QStringLiteral("Error - no zip file specified"));
        return;
    }
    if (addBusy_) return;
    CallEngine(true, addBusy_, BaseFolder, [this](void* exec) {
        TextBuffers texts;
        auto block = std::make_unique<ZipAddBlock>();
        ZipAddBlock& b = *block;
        b.handle = owner_;
        b.caller = this;
        b.version = kZipBlockVersion;
        b.callback = &TZipEngine::Callback;
        b.trace = FlagOf(Trace);
        b.password = texts.Add(Password.left(kMaxPasswordLength).toUtf8());
        b.encrypt = FlagOf(AddOptions.Contains(AddEncrypt));
        b.hiddenAndSystemFiles = FlagOf(AddOptions.Contains(AddHiddenFiles));
        b.reserved44 = -1;
        b.verbose = FlagOf(Verbose || Trace);
        b.reserved56 = -1;
        b.compressionLevel = AddCompLevel;
        b.dropFolderNames = FlagOf(!AddOptions.Contains(AddDirNames));
        b.recurseFolders = FlagOf(AddOptions.Contains(AddRecurseDirs));
        b.reserved80 = -1;
        b.dosNames = FlagOf(AddOptions.Contains(AddForceDOS));
        b.move = FlagOf(AddOptions.Contains(AddMove));
        b.update = FlagOf(AddOptions.Contains(AddUpdate));
        b.freshen = FlagOf(AddOptions.Contains(AddFreshen) && !AddOptions.Contains(AddUpdate));
        b.archiveTime = FlagOf(AddOptions.Contains(AddZipTime));
        b.fileSpecCount = int32_t(std::min<qsizetype>(FileSpecs.size(), kZipMaxFileSpecs));
        b.zipFilename = texts.Add(platform::EncodeHostName(HostPathOf(zipFilename_)));
        b.reserved128 = 7;
        for (int i = 0; i < b.fileSpecCount; ++i)
            b.fileSpecs[i] = texts.Add(HostPatternOf(FileSpecs[i]));
        return reinterpret_cast<ZipAddExecFunction>(exec)(&b);
    });
    if (resultCount_ > 0) ReadEntryList();
}

void TZipEngine::ExtractFiles() {
    resultCount_ = 0;
    const QString archive = HostPathOf(zipFilename_);
    if (zipFilename_.isEmpty() || !IsFileAt(archive)) {
        Show(QStringLiteral("Error - no zip file specified"));
        return;
    }
    if (extractBusy_) return;
    platform::PinnedFolder target;
    const bool intoTarget =
        !ExtrBaseDir.isEmpty() && platform::OpenHostFolder(HostPathOf(ExtrBaseDir), target);
    CallEngine(false, extractBusy_, intoTarget ? &target : BaseFolder, [&](void* exec) {
        TextBuffers texts;
        auto block = std::make_unique<ZipExtractBlock>();
        ZipExtractBlock& b = *block;
        b.handle = owner_;
        b.caller = this;
        b.version = kZipBlockVersion;
        b.callback = &TZipEngine::Callback;
        b.trace = FlagOf(Trace);
        b.password = texts.Add(Password.left(kMaxPasswordLength).toUtf8());
        b.test = FlagOf(ExtrOptions.Contains(ExtrTest));
        b.reserved40 = -1;
        b.verbose = FlagOf(Verbose || Trace);
        b.update = FlagOf(ExtrOptions.Contains(ExtrUpdate));
        b.freshen = FlagOf(ExtrOptions.Contains(ExtrFreshen) && !ExtrOptions.Contains(ExtrUpdate));
        b.keepFolderNames = FlagOf(ExtrOptions.Contains(ExtrDirNames));
        b.overwrite = FlagOf(ExtrOptions.Contains(ExtrOverWrite));
        b.fileSpecCount = int32_t(std::min<qsizetype>(FileSpecs.size(), kZipMaxFileSpecs));
        b.zipFilename = texts.Add(platform::EncodeHostName(archive));
        b.reserved72 = 7;
        for (int i = 0; i < b.fileSpecCount; ++i)
            b.fileSpecs[i] = texts.Add(HostPatternOf(FileSpecs[i]));
        return reinterpret_cast<ZipExtExecFunction>(exec)(&b);
    });
}

// What both operations share around the call: the busy and cancel flags, loading the library
// for this call only, catching what the call throws, and FileSpecs emptied afterwards.
void TZipEngine::CallEngine(bool adding, bool& busy, const platform::PinnedFolder* base,
                            const std::function<int32_t(void*)>& call) {
    busy = true;
    cancel_ = false;
    handlerFailed_ = false;
    auto engine = LoadEngine(adding);
    if (!engine) {
        busy = false;
        return;
    }
    const auto setBase =
        reinterpret_cast<ZipBaseFolderFunction>(engine->library.Symbol("ZipSetBaseFolder"));
    if (base && !setBase) {
        // Without it the engine would work in the current folder, not the one asked for.
        Show(QStringLiteral("ZipSetBaseFolder function not found in ") +
             HostLibraryName(adding ? QStringLiteral("ZIPADD.DLL") : QStringLiteral("ZIPEXT.DLL")));
        busy = false;
        return;
    }
    if (setBase) setBase(base ? base->Descriptor() : -1);
    try {
        resultCount_ = call(engine->exec);
    } catch (...) {
        handlerFailed_ = true;
    }
    if (setBase) setBase(-1);
    if (handlerFailed_) Show(QStringLiteral("Fatal engine error: abort exception"));
    FileSpecs.clear();
    engine.reset();
    cancel_ = false;
    busy = false;
}

void TZipEngine::SetZipFilename(const QString& name) {
    zipFilename_ = name;
    ReadEntryList();
}

void TZipEngine::ReadEntryList() {
    entries_.clear();
    firstHeaderOffset_ = -1;
    try {
        ReadEntries();
    } catch (...) {
        // Only a reading that ended without an error keeps what it read.
        entries_.clear();
        if (OnDirUpdate) OnDirUpdate(this);
        throw;
    }
    if (OnDirUpdate) OnDirUpdate(this);
}

// Walks the local file headers from the first "PK\3\4" found. A header that does not fit in
// the file before any entry was read is taken for data that happens to look like one (a
// self-extractor's code), and the search goes on; after the first entry it is damage.
void TZipEngine::ReadEntries() {
    const QString host = HostPathOf(zipFilename_);
    if (zipFilename_.isEmpty() || !IsFileAt(host)) return;
    platform::HostInputFile file;
    if (!file.Open(host)) throw EZipReadError("Error reading Zip File");
    const qint64 fileSize = file.Size();
    HeaderReader in(file);
    if (ExtensionOf(zipFilename_).toUpper() == QStringLiteral(".EXE"))
        in.Seek(kSelfExtractorCodeSize);

    int attempts = 0;
    // A byte that breaks a match is not looked at again as the start of "PK\3\4".
    auto search = [&]() {
        static constexpr char kSignature[4] = {'P', 'K', 3, 4};
        for (;;) {
            if (++attempts > kMaxSearchAttempts) break;
            int matched = 0;
            char c;
            bool readOk;
            while ((readOk = in.Byte(c)) && c == kSignature[matched])
                if (++matched == 4) return true;
            if (!readOk) break;
        }
        Show(QStringLiteral("No valid zip entries found"));
        return false;
    };
    if (!search()) return;
    firstHeaderOffset_ = in.Position() - 4;

    uint32_t signature = kLocalHeaderSignature;
    for (;;) {
        if (signature == kCentralHeaderSignature || signature == kEndOfCentralSignature) return;
        if (signature == kLocalHeaderSignature) {
            auto lookAgain = [&](const char* error) {
                if (!entries_.empty()) throw EZipReadError(error);
                return search();
            };
            char header[kLocalHeaderSize];
            auto entry = std::make_unique<ZipEntryHeader>();
            QByteArray name;
            bool complete = in.Bytes(header, kLocalHeaderSize);
            if (complete) {
                entry->FileNameLen = Le16(header + 22);
                name.resize(entry->FileNameLen);
                complete = in.Bytes(name.data(), name.size());
            }
            if (!complete) {
                if (!lookAgain("Error 2 reading Zip file")) return;
                continue;  // the search matched another local header
            }
            entry->VersionNeeded = Le16(header);
            entry->Flag = Le16(header + 2);
            entry->ComprMethod = Le16(header + 4);
            entry->ModifTime = Le16(header + 6);
            entry->ModifDate = Le16(header + 8);
            entry->CRC32 = Le32(header + 10);
            entry->ComprSize = Le32(header + 14);
            entry->UncomprSize = Le32(header + 18);
            entry->ExtraFieldLen = Le16(header + 24);
            entry->FileName = platform::DecodeHostName(name);
            const qint64 p = in.Position();

            // Sizes that do not fit in 32 bits are in the ZIP64 extra field, uncompressed first.
            QByteArray extra(entry->ExtraFieldLen, Qt::Uninitialized);
            const bool extraRead = in.Bytes(extra.data(), extra.size());
            entry->CompressedSize = entry->ComprSize;
            entry->UncompressedSize = entry->UncomprSize;
            for (qsizetype at = 0; extraRead && at + 4 <= extra.size();) {
                const uint16_t id = Le16(extra.constData() + at);
                const uint16_t size = Le16(extra.constData() + at + 2);
                if (at + 4 + size > extra.size()) break;
                if (id == kZip64ExtraId) {
                    const char* field = extra.constData() + at + 4;
                    int fieldAt = 0;
                    if (entry->UncomprSize == kZip64Marker && fieldAt + 8 <= size) {
                        entry->UncompressedSize = int64_t(Le64(field + fieldAt));
                        fieldAt += 8;
                    } else if (size >= 16) {
                        fieldAt += 8;  // both sizes are there, as in most local headers
                    }
                    if (entry->ComprSize == kZip64Marker && fieldAt + 8 <= size)
                        entry->CompressedSize = int64_t(Le64(field + fieldAt));
                }
                at += 4 + size;
            }

            // A size beyond what is left of the file is damage, and so is a negative one (a ZIP64
            // size above 2^63); compared so that no sum can overflow.
            if (entry->CompressedSize < 0 || entry->UncompressedSize < 0 ||
                entry->CompressedSize > fileSize - kEndOfCentralSize - p - entry->ExtraFieldLen) {
                if (!entries_.empty()) throw EZipReadError("Error 3 reading Zip file");
                in.Seek(p);
                if (!search()) return;
                continue;
            }
            if (!extraRead || in.Position() != p + entry->ExtraFieldLen)
                throw EZipReadError("Error 4 reading Zip file");
            if (!in.Seek(p + entry->ExtraFieldLen + entry->CompressedSize))
                throw EZipReadError("Error 5 reading Zip file");
            entries_.push_back(std::move(entry));
        }
        char bytes[4];
        if (!in.Bytes(bytes, 4)) throw EZipReadError("Error reading Zip File");
        signature = Le32(bytes);
    }
}
