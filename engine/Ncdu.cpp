#include "engine/Ncdu.h"

#include <QCollator>
#include <QDateTime>
#include <QIODevice>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/FileStore.h"
#include "engine/Scanner.h"
#include "engine/TextForms.h"
#include "platform/ByteInput.h"
#include "platform/Drives.h"
#include "platform/FindFile.h"
#include "platform/HostNames.h"

namespace engine {

namespace {

// Folders deeper than this are left out of an import: no real disk nests so deep, and a
// hostile export must not make the tree (whose nodes own their children) recurse for ever.
constexpr int kMaxImportDepth = 4096;
// No name or text of an export is longer than this.
constexpr qsizetype kMaxTextBytes = 1 << 20;
// The bytes all files of an import may claim together (4 EiB, far beyond any disk): the totals
// stay within int64_t, slack included, whatever sizes a damaged or hostile export gives.
constexpr int64_t kMaxImportBytes = int64_t(1) << 62;
constexpr auto kPumpInterval = std::chrono::milliseconds(10);

// --- reading JSON in pieces ---

enum class TToken { BeginArray, EndArray, BeginObject, EndObject, String, Number, Bool, Null, End };

// A pull reader of JSON tokens over input of any length: only the current token is held.
// Commas and colons are taken as separators without further checks; the importer checks the
// shape it expects.
class TJsonReader {
public:
    explicit TJsonReader(platform::ByteInput& input) : input_(input), buffer_(kBufferSize) {}

    // The next token; throws TParseError on malformed or failing input.
    TToken Next();
    const QByteArray& Text() const { return text_; }  // of a String
    int64_t Integer() const { return integer_; }      // of a Number
    bool Boolean() const { return boolean_; }         // of a Bool
    int64_t Offset() const { return offset_; }
    int64_t Consumed() const { return input_.Consumed(); }

    // Reads past the value that began with token (a whole array or object when it opened one).
    void Skip(TToken token);

    struct TParseError {
        QString text;
    };
    [[noreturn]] void Fail(const QString& what) const {
        throw TParseError{QStringLiteral("%1 at byte %2").arg(what).arg(offset_)};
    }

private:
    static constexpr int64_t kBufferSize = 256 * 1024;

    // The next byte, or -1 at the end of the input.
    int Get() {
        if (pos_ == end_ && !Refill()) return -1;
        ++offset_;
        return uint8_t(buffer_[size_t(pos_++)]);
    }
    int Peek() {
        if (pos_ == end_ && !Refill()) return -1;
        return uint8_t(buffer_[size_t(pos_)]);
    }
    bool Refill() {
        const int64_t n = input_.Read(buffer_.data(), kBufferSize);
        if (n < 0) Fail(input_.errorText());
        pos_ = 0;
        end_ = n;
        return n > 0;
    }
    void ReadString();
    void ReadNumber(int first);
    void ReadWord(const char* rest);
    uint32_t ReadHex4();
    void AppendUtf8(uint32_t code);

    platform::ByteInput& input_;
    std::vector<char> buffer_;
    int64_t pos_ = 0;
    int64_t end_ = 0;
    int64_t offset_ = 0;
    QByteArray text_;
    int64_t integer_ = 0;
    bool boolean_ = false;
};

TToken TJsonReader::Next() {
    for (;;) {
        const int c = Get();
        switch (c) {
            case -1:
                return TToken::End;
            case ' ':
            case '\t':
            case '\n':
            case '\r':
            case ',':
            case ':':
                continue;
            case '[':
                return TToken::BeginArray;
            case ']':
                return TToken::EndArray;
            case '{':
                return TToken::BeginObject;
            case '}':
                return TToken::EndObject;
            case '"':
                ReadString();
                return TToken::String;
            case 't':
                ReadWord("rue");
                boolean_ = true;
                return TToken::Bool;
            case 'f':
                ReadWord("alse");
                boolean_ = false;
                return TToken::Bool;
            case 'n':
                ReadWord("ull");
                return TToken::Null;
            default:
                if (c == '-' || (c >= '0' && c <= '9')) {
                    ReadNumber(c);
                    return TToken::Number;
                }
                Fail(QStringLiteral("unexpected character 0x%1").arg(c, 2, 16, QChar(u'0')));
        }
    }
}

void TJsonReader::ReadWord(const char* rest) {
    for (; *rest; ++rest) {
        if (Get() != *rest) Fail(QStringLiteral("a misspelt true, false or null"));
    }
}

void TJsonReader::ReadNumber(int first) {
    // Whole numbers, nearly all of them, are read digit by digit; others through a double.
    char digits[72];
    int length = 0;
    digits[length++] = char(first);
    bool whole = true;
    for (int c = Peek();
         (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
         c = Peek()) {
        if (length == 64) Fail(QStringLiteral("a number too long"));
        digits[length++] = char(Get());
        whole = whole && c >= '0' && c <= '9';
    }
    const bool negative = digits[0] == '-';
    if (whole && length > int(negative) && length - int(negative) <= 18) {
        int64_t value = 0;
        for (int k = int(negative); k < length; ++k) value = value * 10 + (digits[k] - '0');
        integer_ = negative ? -value : value;
        return;
    }
    bool ok = false;
    const double value = QByteArray::fromRawData(digits, length).toDouble(&ok);
    if (!ok || std::isnan(value)) Fail(QStringLiteral("a malformed number"));
    integer_ = value >= 9.2e18 ? INT64_MAX : value <= -9.2e18 ? INT64_MIN : int64_t(value);
}

uint32_t TJsonReader::ReadHex4() {
    uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const int c = Get();
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) Fail(QStringLiteral("a malformed \\u escape"));
        code = code * 16 + uint32_t(digit);
    }
    return code;
}

void TJsonReader::AppendUtf8(uint32_t code) {
    if (code < 0x80) {
        text_ += char(code);
    } else if (code < 0x800) {
        text_ += char(0xC0 | (code >> 6));
        text_ += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text_ += char(0xE0 | (code >> 12));
        text_ += char(0x80 | ((code >> 6) & 0x3F));
        text_ += char(0x80 | (code & 0x3F));
    } else {
        text_ += char(0xF0 | (code >> 18));
        text_ += char(0x80 | ((code >> 12) & 0x3F));
        text_ += char(0x80 | ((code >> 6) & 0x3F));
        text_ += char(0x80 | (code & 0x3F));
    }
}

void TJsonReader::ReadString() {
    // The bytes between the quotes are kept as they are: exporters write names byte for byte,
    // also where they are not valid UTF-8.
    text_.resize(0);
    for (;;) {
        // A run of plain bytes in the buffer goes over in one piece.
        qsizetype run = 0;
        while (pos_ + run < end_) {
            const char b = buffer_[size_t(pos_ + run)];
            if (b == '"' || b == '\\') break;
            ++run;
        }
        if (run > 0) {
            if (text_.size() + run > kMaxTextBytes)
                Fail(QStringLiteral("a text of more than 1 MiB"));
            text_.append(buffer_.data() + pos_, run);
            pos_ += run;
            offset_ += run;
        }
        const int c = Get();
        if (c == -1) Fail(QStringLiteral("the input ends inside a text"));
        if (c == '"') return;
        if (text_.size() >= kMaxTextBytes) Fail(QStringLiteral("a text of more than 1 MiB"));
        if (c != '\\') {
            text_ += char(c);
            continue;
        }
        const int e = Get();
        switch (e) {
            case '"':
            case '\\':
            case '/':
                text_ += char(e);
                break;
            case 'b':
                text_ += '\b';
                break;
            case 'f':
                text_ += '\f';
                break;
            case 'n':
                text_ += '\n';
                break;
            case 'r':
                text_ += '\r';
                break;
            case 't':
                text_ += '\t';
                break;
            case 'u': {
                uint32_t code = ReadHex4();
                if (code >= 0xD800 && code < 0xDC00 && Peek() == '\\') {
                    Get();
                    if (Get() != 'u') Fail(QStringLiteral("a malformed \\u escape"));
                    const uint32_t low = ReadHex4();
                    code = low >= 0xDC00 && low < 0xE000
                               ? 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00)
                               : 0xFFFD;
                } else if (code >= 0xD800 && code < 0xE000) {
                    code = 0xFFFD;
                }
                AppendUtf8(code);
                break;
            }
            default:
                Fail(QStringLiteral("a malformed escape in a text"));
        }
    }
}

void TJsonReader::Skip(TToken token) {
    // Counted, not recursive: a hostile export may nest without end.
    int64_t depth = 0;
    for (;;) {
        if (token == TToken::BeginArray || token == TToken::BeginObject) ++depth;
        if (token == TToken::EndArray || token == TToken::EndObject) --depth;
        if (token == TToken::End) Fail(QStringLiteral("the input ends too early"));
        if (depth <= 0) return;
        token = Next();
    }
}

// --- building the tree ---

// What an entry of the export says of itself; absent fields keep their defaults.
struct TInfo {
    QByteArray name;
    int64_t asize = 0;
    std::optional<int64_t> dsize;
    std::optional<uint64_t> dev;
    std::optional<uint64_t> ino;
    int64_t nlink = 1;
    bool hlnkc = false;
    bool readError = false;
    bool excluded = false;
    bool notreg = false;
    std::optional<int64_t> mode;
    int64_t mtime = 0;
};

// The fields an importer reads; any other is skipped.
enum class TField {
    Name,
    Asize,
    Dsize,
    Dev,
    Ino,
    Nlink,
    Hlnkc,
    ReadError,
    Notreg,
    Mode,
    Mtime,
    Excluded,
    Other
};

constexpr std::pair<const char*, TField> kFields[] = {
    {"name", TField::Name},     {"asize", TField::Asize},
    {"dsize", TField::Dsize},   {"dev", TField::Dev},
    {"ino", TField::Ino},       {"nlink", TField::Nlink},
    {"hlnkc", TField::Hlnkc},   {"read_error", TField::ReadError},
    {"notreg", TField::Notreg}, {"mode", TField::Mode},
    {"mtime", TField::Mtime},   {"excluded", TField::Excluded},
};

TField FieldOf(const QByteArray& key) {
    // Told apart by length and first letter before the whole name is compared: this runs for
    // every field of every entry.
    for (const auto& [name, field] : kFields) {
        if (key.size() == qsizetype(std::char_traits<char>::length(name)) && key[0] == name[0] &&
            std::memcmp(key.constData(), name, size_t(key.size())) == 0)
            return field;
    }
    return TField::Other;
}

QString NameOfField(TField field) {
    for (const auto& [name, f] : kFields) {
        if (f == field) return QLatin1String(name);
    }
    return {};
}

// Reads the members of an info object, its "{" already read, into info (made empty first).
const TInfo& ReadInfo(TJsonReader& json, TInfo& info) {
    QByteArray name = std::move(info.name);
    name.resize(0);
    info = TInfo{};
    info.name = std::move(name);
    for (TToken t = json.Next(); t != TToken::EndObject; t = json.Next()) {
        if (t != TToken::String) json.Fail(QStringLiteral("an entry's field has no name"));
        const TField field = FieldOf(json.Text());
        const TToken value = json.Next();
        const auto number = [&]() -> int64_t {
            if (value != TToken::Number)
                json.Fail(QStringLiteral("\"%1\" is not a number").arg(NameOfField(field)));
            return json.Integer();
        };
        const auto flag = [&] {
            if (value != TToken::Bool)
                json.Fail(QStringLiteral("\"%1\" is not true or false").arg(NameOfField(field)));
            return json.Boolean();
        };
        switch (field) {
            case TField::Name:
                if (value != TToken::String) json.Fail(QStringLiteral("\"name\" is not a text"));
                info.name.resize(0);  // the name's buffer is used again for the next entry
                info.name.append(json.Text());
                break;
            case TField::Asize:
                info.asize = std::max<int64_t>(0, number());
                break;
            case TField::Dsize:
                info.dsize = std::max<int64_t>(0, number());
                break;
            case TField::Dev:
                info.dev = uint64_t(number());
                break;
            case TField::Ino:
                info.ino = uint64_t(number());
                break;
            case TField::Nlink:
                info.nlink = number();
                break;
            case TField::Hlnkc:
                info.hlnkc = flag();
                break;
            case TField::ReadError:
                info.readError = flag();
                break;
            case TField::Notreg:
                info.notreg = flag();
                break;
            case TField::Mode:
                info.mode = number();
                break;
            case TField::Mtime:
                info.mtime = number();
                break;
            case TField::Excluded:
                // A text naming why ("pattern", "otherfs", "kernfs", "frmlnk"); older versions
                // may write true.
                info.excluded =
                    value == TToken::String || (value == TToken::Bool && json.Boolean());
                json.Skip(value);
                break;
            case TField::Other:
                json.Skip(value);  // fields of later versions, and sizes taken from asize
                break;
        }
    }
    return info;
}

// A name as the program writes it: the bytes decoded losslessly, the two characters that
// separate a program path's parts replaced by their full-width forms.
QString NameOf(const QByteArray& bytes) {
    QString name = platform::DecodeHostName(bytes);
    name.replace(u'\\', QChar(0xFF3C)).replace(u'/', QChar(0xFF0F));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("(unnamed)");
    return name;
}

uint32_t AttributesOf(const TInfo& info) {
    uint32_t a = 0;
    if (info.name.startsWith('.')) a |= platform::FILE_ATTRIBUTE_HIDDEN;
    if (info.mode) {
        const int64_t type = *info.mode & 0170000;
        if (type == 0120000)
            a |= platform::FILE_ATTRIBUTE_REPARSE_POINT;
        else if (type == 0100000)
            a |= platform::FILE_ATTRIBUTE_ARCHIVE;
        else if (type != 0040000)
            a |= platform::FILE_ATTRIBUTE_SYSTEM;
        if (!(*info.mode & 0200)) a |= platform::FILE_ATTRIBUTE_READONLY;
    } else if (!info.notreg) {
        a |= platform::FILE_ATTRIBUTE_ARCHIVE;
    }
    return a ? a : platform::FILE_ATTRIBUTE_NORMAL;
}

FileTime FileTimeOf(int64_t unixSeconds) {
    return unixSeconds > 0 ? platform::FileTimeFromUnix(unixSeconds, 0) : 0;
}

// One folder of the export while its entries are read.
struct TFrame {
    TFolderNode* node;
    std::unique_ptr<TFolderSize> record = std::make_unique<TFolderSize>();
    std::vector<std::unique_ptr<TFolderNode>> children;
    std::vector<TStoredFile> files;  // its own files, for the drive's store
    uint64_t device = 0;
};

class TImport {
public:
    TImport(TFolderTree& tree, DriveRecord& record, char letter, TJsonReader& json,
            int32_t clusterSize, TImportFacts& facts)
        : tree_(tree),
          record_(record),
          letter_(letter),
          json_(json),
          clusterSize_(clusterSize),
          facts_(facts) {
        collator_.setCaseSensitivity(Qt::CaseSensitive);
        if (record_.LinksCountedOnce) claims_ = &record_.HardLinks;
        store_ = record_.Files.get();
    }

    // Reads the whole export; throws TParseError. The frames still open are closed by
    // CloseAll.
    void Run();
    void CloseAll();
    TFolderNode* Top() const { return top_; }

private:
    void ReadHeader();
    void OpenRoot(const TInfo& info);
    void OpenFolder(const TInfo& info);
    void CloseFolder();
    void CountFile(const TInfo& info);
    void Pump();

    TFolderTree& tree_;
    DriveRecord& record_;
    char letter_;
    TJsonReader& json_;
    int32_t clusterSize_;
    TImportFacts& facts_;
    THardLinkClaims* claims_ = nullptr;
    TFileStore* store_ = nullptr;
    QCollator collator_;
    std::vector<TFrame> frames_;
    TFolderNode* top_ = nullptr;
    TInfo info_;  // the entry being read, kept to use its buffers again
    int entriesSincePump_ = 0;
    std::chrono::steady_clock::time_point lastPump_{};
    int64_t countedBytes_ = 0;  // of the files counted so far
};

void TImport::ReadHeader() {
    if (json_.Next() != TToken::BeginArray)
        json_.Fail(QStringLiteral("this is not an ncdu export (no \"[\" at its start)"));
    if (json_.Next() != TToken::Number || json_.Integer() != 1)
        json_.Fail(QStringLiteral("this is not an ncdu export of format 1"));
    if (json_.Next() != TToken::Number)
        json_.Fail(QStringLiteral("the format has no minor version"));
    if (json_.Next() != TToken::BeginObject)
        json_.Fail(QStringLiteral("the export has no metadata"));
    for (TToken t = json_.Next(); t != TToken::EndObject; t = json_.Next()) {
        if (t != TToken::String) json_.Fail(QStringLiteral("a metadata field has no name"));
        const QByteArray key = json_.Text();
        const TToken value = json_.Next();
        if (key == "progname" && value == TToken::String)
            facts_.Program = QString::fromUtf8(json_.Text());
        else if (key == "progver" && value == TToken::String)
            facts_.ProgramVersion = QString::fromUtf8(json_.Text());
        else if (key == "timestamp" && value == TToken::Number)
            facts_.Created = FileTimeOf(json_.Integer());
        else
            json_.Skip(value);
    }
}

void TImport::OpenRoot(const TInfo& info) {
    facts_.RootPath = platform::DecodeHostName(info.name);
    const QString shown =
        QStringLiteral("%1 (imported) (%2:)")
            .arg(facts_.RootPath.isEmpty() ? QStringLiteral("?") : facts_.RootPath)
            .arg(QChar(letter_));
    record_.DriveText = QChar(letter_) + shown;
    record_.ClusterSize = clusterSize_;
    top_ = tree_.AppendDrive(letter_, shown);
    record_.Node = top_;
    frames_.push_back({top_});
    frames_.back().device = info.dev.value_or(0);
    if (info.readError) ++facts_.ReadErrors;
}

void TImport::OpenFolder(const TInfo& info) {
    TFrame& parent = frames_.back();
    parent.record->TreeFolderCount += 1;
    parent.record->SubfolderCount += 1;
    parent.children.push_back(std::make_unique<TFolderNode>(NameOf(info.name), parent.node));
    TFolderNode* node = parent.children.back().get();
    TFrame frame{node};
    frame.device = info.dev.value_or(parent.device);
    if (info.readError) ++facts_.ReadErrors;
    frames_.push_back(std::move(frame));
}

void TImport::CloseFolder() {
    TFrame frame = std::move(frames_.back());
    frames_.pop_back();
    SortByDisplayName(frame.children, collator_);
    TFolderTree::AttachChildren(frame.node, std::move(frame.children));
    AddOwnFilesToTree(*frame.record);
    if (store_) {
        frame.record->FirstFile = store_->Commit(frame.files);
        frame.record->StoredFiles = uint32_t(frame.files.size());
    }
    if (!frames_.empty()) AddChildTotals(*frames_.back().record, *frame.record);
    TFolderTree::SetRecord(frame.node, std::move(frame.record));
}

void TImport::CountFile(const TInfo& info) {
    TFrame& folder = frames_.back();
    if (info.excluded) {
        ++facts_.Excluded;
        return;
    }
    if (info.readError) ++facts_.ReadErrors;
    const bool linked = info.ino && (info.nlink > 1 || info.hlnkc);
    const int64_t size = std::min(info.asize, kMaxImportBytes - countedBytes_);
    const int64_t onDisk = std::min(info.dsize.value_or(0), kMaxImportBytes);
    const FileTime written = FileTimeOf(info.mtime);
    const uint32_t attributes = AttributesOf(info);
    if (claims_ && linked &&
        !ClaimHardLink(*claims_, {info.dev.value_or(folder.device), *info.ino}, folder.node,
                       {size, onDisk, 0, written, attributes}))
        return;  // counted where it was met first
    countedBytes_ += size;
    // Exports hold no access times.
    AddFileTotals(*folder.record, size, onDisk, clusterSize_, 0, written, attributes);
    if (!store_) return;
    // The lists mark a file with fewer bytes on the disk than it is long, as a scan's would.
    const bool sparse = info.dsize && onDisk < size;
    folder.files.push_back(
        store_->Make(info.name, size, onDisk, written, 0,
                     attributes | (sparse ? uint32_t(platform::FILE_ATTRIBUTE_SPARSE_FILE) : 0u)));
}

void TImport::Pump() {
    // The clock is asked only now and then: entries come by the million.
    if (++entriesSincePump_ < 1024) return;
    entriesSincePump_ = 0;
    if (std::chrono::steady_clock::now() - lastPump_ < kPumpInterval) return;
    IScanHost& host = CurrentScanHost();
    host.ShowScanStatus(
        QStringLiteral("Reading the ncdu export: %1").arg(SizeText(json_.Consumed())));
    host.ProcessPendingEvents();
    lastPump_ = std::chrono::steady_clock::now();
    if (StopRequested) json_.Fail(QStringLiteral("the reading was stopped"));
}

void TImport::Run() {
    ReadHeader();
    if (json_.Next() != TToken::BeginArray || json_.Next() != TToken::BeginObject)
        json_.Fail(QStringLiteral("the export holds no folder"));
    OpenRoot(ReadInfo(json_, info_));
    while (!frames_.empty()) {
        Pump();
        const TToken t = json_.Next();
        if (t == TToken::EndArray) {
            CloseFolder();
        } else if (t == TToken::BeginObject) {
            CountFile(ReadInfo(json_, info_));
        } else if (t == TToken::BeginArray) {
            if (json_.Next() != TToken::BeginObject)
                json_.Fail(QStringLiteral("a folder without its entry"));
            const TInfo& info = ReadInfo(json_, info_);
            if (frames_.size() < size_t(kMaxImportDepth)) {
                OpenFolder(info);
                continue;
            }
            json_.Skip(TToken::BeginArray);  // the rest of this too deep folder
            if (facts_.Complete) {
                facts_.Complete = false;
                facts_.Problem =
                    QStringLiteral("folders below level %1 were left out").arg(kMaxImportDepth);
            }
        } else if (t == TToken::End) {
            json_.Fail(QStringLiteral("the input ends too early"));
        } else {
            json_.Fail(QStringLiteral("a folder holds something that is no entry"));
        }
    }
    // Read to the end, so that input cut short or damaged after the tree is noticed too.
    if (json_.Next() != TToken::EndArray) json_.Fail(QStringLiteral("the export is not closed"));
    if (json_.Next() != TToken::End) json_.Fail(QStringLiteral("something follows the export"));
}

void TImport::CloseAll() {
    while (!frames_.empty()) CloseFolder();
}

}  // namespace

char FreeImportLetter() {
    const uint32_t mapped = platform::LogicalDrives();
    for (char letter = 'Z'; letter >= 'A'; --letter) {
        if (!(mapped & (1u << (letter - 'A'))) && !ScannedDrives().Find(letter)) return letter;
    }
    return 0;
}

TFolderNode* ImportNcdu(TFolderTree& tree, DriveRecord& record, char letter,
                        platform::ByteInput& input, int32_t clusterSize, QString& error,
                        const TScanSession& session) {
    error.clear();
    if (TreeBusy() || letter == 0) return nullptr;
    StopRequested = false;
    auto facts = std::make_shared<TImportFacts>();
    facts->ClusterSize = clusterSize;
    record.Letter = letter;
    record.LinksCountedOnce = session.CountHardLinksOnce;
    record.HardLinks.clear();
    record.Files = session.KeepFileDetails ? std::make_shared<TFileStore>() : nullptr;
    TJsonReader json(input);
    TImport import(tree, record, letter, json, clusterSize, *facts);
    {
        const TScanningState scanning(CurrentScanHost());
        const TTreeBusy walking;
        try {
            import.Run();
        } catch (const TJsonReader::TParseError& e) {
            error = e.text;
            facts->Complete = false;
            if (facts->Problem.isEmpty()) facts->Problem = e.text;
        }
        import.CloseAll();
    }
    record.Import = facts;
    if (!import.Top()) return nullptr;
    return import.Top();
}

const TImportFacts* ImportFactsOf(const TFolderNode* node) {
    if (!node) return nullptr;
    const DriveRecord* record = ScannedDrives().Find(DriveRootOf(node)->DriveLetter());
    return record ? record->Import.get() : nullptr;
}

const TImportFacts* ImportFactsOf(const QString& path) {
    if (path.isEmpty()) return nullptr;
    const DriveRecord* record = ScannedDrives().Find(char(path[0].toUpper().unicode()));
    return record ? record->Import.get() : nullptr;
}

QString ImportDescription(const TImportFacts& facts) {
    QString text = QStringLiteral("Imported from an ncdu export of %1").arg(facts.RootPath);
    if (!facts.Program.isEmpty())
        text += QStringLiteral(", written by %1 %2").arg(facts.Program, facts.ProgramVersion);
    if (facts.Created != 0) text += QStringLiteral(" on ") + FileTimeText(facts.Created);
    text += QStringLiteral("; cluster size %1 bytes.").arg(facts.ClusterSize);
    if (facts.ReadErrors > 0)
        text += facts.ReadErrors == 1
                    ? QStringLiteral(" 1 entry could not be read when it was written.")
                    : QStringLiteral(" %1 entries could not be read when it was written.")
                          .arg(facts.ReadErrors);
    if (facts.Excluded > 0)
        text += facts.Excluded == 1
                    ? QStringLiteral(" 1 entry was left out of it.")
                    : QStringLiteral(" %1 entries were left out of it.").arg(facts.Excluded);
    if (!facts.Complete) text += QStringLiteral(" Incomplete: %1.").arg(facts.Problem);
    return text;
}

QString ImportedDriveName(const QString& path) {
    const DriveRecord* record =
        path.isEmpty() ? nullptr : ScannedDrives().Find(char(path[0].toUpper().unicode()));
    return record ? record->DriveText.mid(1) : QString();
}

TEntryFacts ImportedEntryFacts(const QString& path) {
    if (IsDriveRoot(path)) return {};
    const QString name = RemoveBackslash(path).section(u'\\', -1);
    uint32_t attributes = platform::FILE_ATTRIBUTE_DIRECTORY;
    if (name.startsWith(u'.')) attributes |= platform::FILE_ATTRIBUTE_HIDDEN;
    return {true, attributes, 0, platform::ShortNameOf(name)};
}

// --- writing an export ---

namespace {

// Output in large pieces, the JSON texts escaped as ncdu writes them: control characters as
// escapes, every other byte as it is.
class TJsonWriter {
public:
    explicit TJsonWriter(QIODevice& out) : out_(out) { buffer_.reserve(kFlushAt + 4096); }

    void Raw(const char* text) { buffer_ += text; }
    void Raw(const QByteArray& text) { buffer_ += text; }
    void Number(int64_t value) { buffer_ += QByteArray::number(qlonglong(value)); }
    void String(const QByteArray& bytes) {
        buffer_ += '"';
        for (const char c : bytes) {
            const auto u = uint8_t(c);
            if (c == '"' || c == '\\') {
                buffer_ += '\\';
                buffer_ += c;
            } else if (u < 0x20) {
                buffer_ += QByteArray("\\u00") + QByteArray::number(u, 16).rightJustified(2, '0');
            } else {
                buffer_ += c;
            }
        }
        buffer_ += '"';
    }
    bool Flush(bool always = false) {
        if (!always && buffer_.size() < kFlushAt) return true;
        const bool ok = out_.write(buffer_) == buffer_.size();
        buffer_.clear();
        return ok;
    }

private:
    static constexpr qsizetype kFlushAt = 256 * 1024;
    QIODevice& out_;
    QByteArray buffer_;
};

int64_t UnixSecondsOf(FileTime time) {
    constexpr int64_t kUnixEpoch = 116444736000000000LL;
    return time > FileTime(kUnixEpoch) ? int64_t(time - kUnixEpoch) / 10000000 : 0;
}

// Writes one entry's fields, without the braces.
void WriteFields(TJsonWriter& w, const QByteArray& name, const platform::FolderEntry& e,
                 bool folder) {
    w.Raw("\"name\":");
    w.String(name);
    if (!folder) {
        w.Raw(",\"asize\":");
        w.Number(e.size);
    }
    w.Raw(",\"dsize\":");
    w.Number(e.allocated);
    if (!folder && e.linkCount > 1) {
        w.Raw(",\"ino\":");
        w.Number(int64_t(e.fileId));
        w.Raw(",\"hlnkc\":true,\"nlink\":");
        w.Number(e.linkCount);
    }
    if (!folder &&
        (e.attributes & (platform::FILE_ATTRIBUTE_REPARSE_POINT | platform::FILE_ATTRIBUTE_SYSTEM)))
        w.Raw(",\"notreg\":true");
    w.Raw(",\"mtime\":");
    w.Number(UnixSecondsOf(e.lastWriteTime));
}

class TExport {
public:
    TExport(TJsonWriter& writer, uint64_t device) : w_(writer), device_(device) {}

    // The entries of the open folder reader, each folder as an array of its own.
    bool WriteEntries(platform::FolderReader& reader, const QString& path);

private:
    void Pump(const QString& path) {
        if (std::chrono::steady_clock::now() - lastPump_ < kPumpInterval) return;
        IScanHost& host = CurrentScanHost();
        host.ShowScanStatus(path);
        host.ProcessPendingEvents();
        lastPump_ = std::chrono::steady_clock::now();
    }

    TJsonWriter& w_;
    uint64_t device_;
    std::chrono::steady_clock::time_point lastPump_{};
};

bool TExport::WriteEntries(platform::FolderReader& reader, const QString& path) {
    Pump(path);
    while (!StopRequested && reader.Next()) {
        const platform::FolderEntry& e = reader.entry();
        const QByteArray name = reader.entryHostName();
        if (!reader.entryIsFolder()) {
            w_.Raw(",\n{");
            WriteFields(w_, name, e, false);
            w_.Raw("}");
        } else if (e.device != device_ && e.device != 0) {
            // Another file system: its own drive, as a scan sees it.
            w_.Raw(",\n{\"name\":");
            w_.String(name);
            w_.Raw(",\"excluded\":\"otherfs\"}");
        } else {
            w_.Raw(",\n[{");
            WriteFields(w_, name, e, true);
            platform::FolderReader sub;
            const bool opened = sub.OpenEntryOf(reader);
            if (!opened) w_.Raw(",\"read_error\":true");
            w_.Raw("}");
            if (opened && !WriteEntries(sub, path + reader.entryName() + u'\\')) return false;
            w_.Raw("]");
        }
        if (!w_.Flush()) return false;
    }
    return !StopRequested;
}

}  // namespace

bool ExportNcdu(const QString& path, QIODevice& out, QString& error) {
    StopRequested = false;
    const QString host = platform::ToHostPath(path);
    platform::FolderReadAhead ahead;  // outlives the readers
    platform::FolderReader reader;
    if (host.isEmpty() || !reader.Open(path, &ahead)) {
        error = host.isEmpty() ? QStringLiteral("%1 is on no drive").arg(path) : reader.errorText();
        return false;
    }
    platform::FindHandle find;
    platform::FindData self;
    const QString trimmed = RemoveBackslash(path);
    const FileTime changed =
        !IsDriveRoot(path) && find.FindFirst(trimmed, self) ? self.lastWriteTime : FileTime(0);
    const uint64_t device = platform::FolderDevice(path);

    TJsonWriter w(out);
    w.Raw("[1,2,{\"progname\":\"quillon\",\"progver\":\"2.0\",\"timestamp\":");
    w.Number(QDateTime::currentSecsSinceEpoch());
    w.Raw("},\n[{\"name\":");
    w.String(platform::EncodeHostName(host));
    w.Raw(",\"dev\":");
    w.Number(int64_t(device));
    w.Raw(",\"mtime\":");
    w.Number(UnixSecondsOf(changed));
    w.Raw("}");
    TExport walk(w, device);
    const bool walked = walk.WriteEntries(reader, AddBackslash(path));
    w.Raw("]]\n");
    if (!w.Flush(true) || !walked) {
        error = StopRequested ? QStringLiteral("the export was stopped") : out.errorString();
        return false;
    }
    return true;
}

}  // namespace engine
