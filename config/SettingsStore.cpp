#include "config/SettingsStore.h"

#include <QDir>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <vector>

#include "platform/HostFiles.h"
#include "platform/HostNames.h"

namespace config {

using platform::CanReplaceHostFile;
using platform::DecodeHostName;
using platform::HostEntry;
using platform::HostEntryAt;
using platform::ReadHostFile;
using platform::ReplaceHostFile;

namespace {

const QString kRootName = QStringLiteral("HKEY_CURRENT_USER");
const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kOldHeader = QStringLiteral("REGEDIT4");
constexpr int kHexLineLimit = 78;  // registry exports wrap their hex lines before 80 columns

struct Value {
    QString name;
    SettingsValueType type = SettingsValueType::None;
    QByteArray data;
    bool operator==(const Value&) const = default;
};

struct Key {
    QStringList path;
    std::vector<Value> values;
    bool operator==(const Key&) const = default;

    Value* find(const QString& name) {
        for (auto& v : values)
            if (v.name.compare(name, Qt::CaseInsensitive) == 0) return &v;
        return nullptr;
    }
    void set(const QString& name, SettingsValueType type, const QByteArray& data) {
        if (Value* v = find(name)) {
            v->type = type;
            v->data = data;
        } else {
            values.push_back({name, type, data});
        }
    }
    bool remove(const QString& name) {
        const auto it = std::find_if(values.begin(), values.end(), [&](const Value& v) {
            return v.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (it == values.end()) return false;
        values.erase(it);
        return true;
    }
};

// Orders keys as a tree: a parent before its children, siblings by name without regard to case.
bool TreeLess(const QStringList& a, const QStringList& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int c = a[i].compare(b[i], Qt::CaseInsensitive);
        if (c != 0) return c < 0;
    }
    return a.size() < b.size();
}

bool SamePath(const QStringList& a, const QStringList& b) {
    return !TreeLess(a, b) && !TreeLess(b, a);
}

bool IsUnder(const QStringList& path, const QStringList& ancestor) {
    if (path.size() < ancestor.size()) return false;
    for (qsizetype i = 0; i < ancestor.size(); ++i)
        if (path[i].compare(ancestor[i], Qt::CaseInsensitive) != 0) return false;
    return true;
}

// Every key of the file, in tree order.
class Document {
public:
    bool operator==(const Document&) const = default;
    Key* find(const QStringList& path) {
        const auto it = lowerBound(path);
        return it != keys_.end() && SamePath(it->path, path) ? &*it : nullptr;
    }

    // The key, made with its missing parents; created tells whether anything was added.
    Key& ensure(const QStringList& path, bool* created = nullptr) {
        for (qsizetype depth = 1; depth < path.size(); ++depth)
            ensureOne(path.first(depth), created);
        return ensureOne(path, created);
    }

    bool removeTree(const QStringList& path) {
        const auto first = lowerBound(path);
        auto last = first;
        while (last != keys_.end() && IsUnder(last->path, path)) ++last;
        keys_.erase(first, last);
        return first != last;
    }

    const std::vector<Key>& keys() const { return keys_; }

private:
    std::vector<Key>::iterator lowerBound(const QStringList& path) {
        return std::lower_bound(
            keys_.begin(), keys_.end(), path,
            [](const Key& k, const QStringList& p) { return TreeLess(k.path, p); });
    }
    Key& ensureOne(const QStringList& path, bool* created) {
        auto it = lowerBound(path);
        if (it != keys_.end() && SamePath(it->path, path)) return *it;
        if (created) *created = true;
        return *keys_.insert(it, Key{path, {}});
    }

    std::vector<Key> keys_;
};

// Names the file can carry on one line.
bool IsPrintable(const QString& name) {
    return std::none_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x20; });
}

std::optional<QStringList> SplitPath(const QString& path) {
    QString trimmed = path;
    while (trimmed.startsWith(u'\\')) trimmed.remove(0, 1);
    while (trimmed.endsWith(u'\\')) trimmed.chop(1);
    if (trimmed.isEmpty()) return std::nullopt;
    const QStringList parts = trimmed.split(u'\\');
    for (const QString& part : parts)
        if (part.isEmpty() || !IsPrintable(part)) return std::nullopt;
    return parts;
}

// ---- reading the file ----

// A quoted text starting at pos (at the opening quote); pos ends after the closing quote.
// Only \\ and \" are escapes; any other backslash stands for itself, as people type paths.
std::optional<QString> ParseQuoted(const QString& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != u'"') return std::nullopt;
    QString text;
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'"') {
            pos = i + 1;
            return text;
        }
        if (c == u'\\' && i + 1 < line.size() && (line[i + 1] == u'\\' || line[i + 1] == u'"')) {
            text += line[++i];
            continue;
        }
        text += c;
    }
    return std::nullopt;
}

std::optional<QByteArray> ParseHexBytes(const QString& text) {
    QByteArray bytes;
    if (text.trimmed().isEmpty()) return bytes;
    for (const QString& piece : text.split(u',')) {
        const QString digits = piece.trimmed();
        bool ok = false;
        const uint byte = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 2 || digits.startsWith(u'+') || byte > 0xFF) return std::nullopt;
        bytes.append(char(byte));
    }
    return bytes;
}

QByteArray Utf16ToUtf8(const QByteArray& utf16) {
    QStringDecoder decode(QStringDecoder::Utf16LE, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decode(utf16);
    if (text.endsWith(QChar(0))) text.chop(1);
    return text.toUtf8();
}

struct ParsedValue {
    QString name;
    bool remove = false;
    SettingsValueType type = SettingsValueType::None;
    QByteArray data;
};

std::optional<ParsedValue> ParseValueLine(const QString& line) {
    ParsedValue v;
    qsizetype pos = 0;
    if (line.startsWith(u'@')) {
        pos = 1;
    } else {
        auto name = ParseQuoted(line, pos);
        if (!name) return std::nullopt;
        v.name = *name;
    }
    while (pos < line.size() && line[pos].isSpace()) ++pos;
    if (pos >= line.size() || line[pos] != u'=') return std::nullopt;
    ++pos;
    while (pos < line.size() && line[pos].isSpace()) ++pos;
    const QString rest = line.mid(pos);

    if (rest.trimmed() == QLatin1String("-")) {
        v.remove = true;
        return v;
    }
    if (rest.startsWith(u'"')) {
        qsizetype p = 0;
        auto text = ParseQuoted(rest, p);
        if (!text || !rest.mid(p).trimmed().isEmpty()) return std::nullopt;
        v.type = SettingsValueType::String;
        v.data = text->toUtf8();
        return v;
    }
    if (rest.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const QString digits = rest.mid(6).trimmed();
        bool ok = false;
        const uint number = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8 || digits.startsWith(u'+'))
            return std::nullopt;
        v.type = SettingsValueType::DWord;
        for (int i = 0; i < 4; ++i) v.data.append(char((number >> (8 * i)) & 0xFF));
        return v;
    }
    if (!rest.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) return std::nullopt;
    qsizetype colon = rest.indexOf(u':');
    if (colon < 0) return std::nullopt;
    const QString kind = rest.left(colon);
    uint type = uint(SettingsValueType::Binary);
    if (kind.size() > 3) {
        if (!kind.sliced(3).startsWith(u'(') || !kind.endsWith(u')')) return std::nullopt;
        bool ok = false;
        const QString number = kind.mid(4, kind.size() - 5);
        type = number.toUInt(&ok, 16);
        if (!ok || number.isEmpty() || number.startsWith(u'+')) return std::nullopt;
    }
    auto bytes = ParseHexBytes(rest.mid(colon + 1));
    if (!bytes) return std::nullopt;
    v.type = SettingsValueType(type);
    if (v.type == SettingsValueType::String || v.type == SettingsValueType::ExpandString) {
        if (bytes->size() % 2 != 0) return std::nullopt;
        v.data = Utf16ToUtf8(*bytes);
    } else {
        v.data = *bytes;
    }
    return v;
}

QString DecodeFileText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE")) {
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.sliced(2));
    }
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return text;
}

// Physical lines joined where a line ends in a backslash and the next one is indented, as
// registry exports continue their long hex values.
QStringList LogicalLines(const QString& text) {
    QStringList physical = text.split(u'\n');
    QStringList lines;
    for (qsizetype i = 0; i < physical.size(); ++i) {
        QString line = physical[i];
        if (line.endsWith(u'\r')) line.chop(1);
        while (line.endsWith(u'\\') && i + 1 < physical.size() && !physical[i + 1].isEmpty() &&
               (physical[i + 1][0] == u' ' || physical[i + 1][0] == u'\t')) {
            QString next = physical[++i];
            if (next.endsWith(u'\r')) next.chop(1);
            line.chop(1);
            line += next.trimmed();
        }
        lines.append(line);
    }
    return lines;
}

Document Parse(const QByteArray& bytes) {
    Document doc;
    Key* current = nullptr;
    for (const QString& raw : LogicalLines(DecodeFileText(bytes))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line == kHeader || line == kOldHeader)
            continue;
        if (line.startsWith(u'[')) {
            current = nullptr;
            if (!line.endsWith(u']')) continue;
            const QString inner = line.mid(1, line.size() - 2);
            if (inner.startsWith(u'-')) continue;  // a deletion entry of an import file
            const qsizetype slash = inner.indexOf(u'\\');
            if (slash < 0 || inner.left(slash).compare(kRootName, Qt::CaseInsensitive) != 0)
                continue;
            const auto path = SplitPath(inner.mid(slash + 1));
            if (!path) continue;
            // Safe until the next header: only ensure moves keys.
            current = &doc.ensure(*path);
            continue;
        }
        if (!current) continue;
        auto value = ParseValueLine(line);
        if (!value) continue;
        if (value->remove)
            current->remove(value->name);
        else
            current->set(value->name, value->type, value->data);
    }
    return doc;
}

enum class FileState { Missing, Read, Unreadable };

FileState ReadDocument(const QString& fileName, Document& doc, QString* error) {
    // Every value read or written reads the file again; a window saving its settings writes
    // dozens. What was read stands for the file as long as its settled stamp stays.
    static struct {
        QString fileName;
        platform::HostFileStamp stamp;
        Document doc;
    } last;
    const std::optional<platform::HostFileStamp> stamp = platform::HostFileStampAt(fileName);
    if (stamp && stamp->settled && last.stamp == *stamp && last.fileName == fileName) {
        doc = last.doc;
        return FileState::Read;
    }
    doc = Document();
    if (HostEntryAt(fileName) == HostEntry::Missing) return FileState::Missing;
    QByteArray bytes;
    if (!ReadHostFile(fileName, bytes, error)) return FileState::Unreadable;
    doc = Parse(bytes);
    // Taken before the reading: a file written meanwhile has another stamp the next time.
    if (stamp && stamp->settled) last = {fileName, *stamp, doc};
    return FileState::Read;
}

// ---- writing the file ----

QString Quoted(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'\\' || c == u'"') out += u'\\';
        out += c;
    }
    return out + u'"';
}

QByteArray Utf8ToUtf16WithNul(const QByteArray& utf8) {
    QStringEncoder encode(QStringEncoder::Utf16LE);
    return encode(QString::fromUtf8(utf8) + QChar(0));
}

QString HexLines(const QString& prefix, const QByteArray& bytes) {
    QString out;
    QString line = prefix;
    bool lineHasBytes = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        QString piece = QStringLiteral("%1").arg(uint(uchar(bytes[i])), 2, 16, QChar(u'0'));
        if (i + 1 < bytes.size()) piece += u',';
        if (lineHasBytes && line.size() + piece.size() > kHexLineLimit) {
            out += line + QStringLiteral("\\\r\n");
            line = QStringLiteral("  ");
        }
        line += piece;
        lineHasBytes = true;
    }
    return out + line + QStringLiteral("\r\n");
}

QString ValueText(const Value& v) {
    const QString name = v.name.isEmpty() ? QStringLiteral("@") : Quoted(v.name);
    const QString prefix = name + u'=';
    switch (v.type) {
        case SettingsValueType::String: {
            const QString text = QString::fromUtf8(v.data);
            if (IsPrintable(text)) return prefix + Quoted(text) + QStringLiteral("\r\n");
            return HexLines(prefix + QStringLiteral("hex(1):"), Utf8ToUtf16WithNul(v.data));
        }
        case SettingsValueType::ExpandString:
            return HexLines(prefix + QStringLiteral("hex(2):"), Utf8ToUtf16WithNul(v.data));
        case SettingsValueType::Binary:
            return HexLines(prefix + QStringLiteral("hex:"), v.data);
        case SettingsValueType::DWord:
            if (v.data.size() == 4) {
                uint32_t number = 0;
                for (int i = 3; i >= 0; --i) number = (number << 8) | uchar(v.data[i]);
                return prefix + QStringLiteral("dword:%1\r\n").arg(number, 8, 16, QChar(u'0'));
            }
            break;
        default:
            break;
    }
    return HexLines(prefix + QStringLiteral("hex(%1):").arg(uint(v.type), 0, 16), v.data);
}

QByteArray Serialize(const Document& doc) {
    QString text = kHeader + QStringLiteral("\r\n");
    for (const Key& key : doc.keys()) {
        text += QStringLiteral("\r\n[") + kRootName + u'\\' + key.path.join(u'\\') +
                QStringLiteral("]\r\n");
        for (const Value& v : key.values) text += ValueText(v);
    }
    text += QStringLiteral("\r\n");
    return text.toUtf8();
}

bool WriteDocument(const QString& fileName, const Document& doc, QString* error) {
    QString why;
    if (ReplaceHostFile(fileName, Serialize(doc), &why, /*createFolders=*/true)) return true;
    if (error)
        *error = QStringLiteral("The settings file %1 cannot be written: %2").arg(fileName, why);
    return false;
}

bool IsWritable(const QString& fileName) {
    return CanReplaceHostFile(fileName);
}

}  // namespace

QString SettingsFilePath() {
    QString base = DecodeHostName(qgetenv("XDG_CONFIG_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = DecodeHostName(qgetenv("HOME")) + QStringLiteral("/.config");
    return base + QStringLiteral("/Norvane/Quillon Pro.reg");
}

struct SettingsKey::State {
    QStringList path;
    SettingsAccess access = SettingsAccess::Read;
    std::vector<Value> values;

    // Re-reads the file, lets change edit it (this key exists in it), and writes it back when
    // that changed what it holds: a window saving its settings rewrites only what moved.
    template <class Change>
    SettingsStatus modify(QString& error, Change change) {
        if (access != SettingsAccess::All) {
            error = QStringLiteral("The key was opened for reading only");
            return SettingsStatus::AccessDenied;
        }
        const QString fileName = SettingsFilePath();
        Document doc;
        if (ReadDocument(fileName, doc, &error) == FileState::Unreadable)
            return SettingsStatus::Failed;
        const Document held = doc;
        // A key deleted through another object since this one opened it comes back.
        doc.ensure(path);
        const SettingsStatus status = change(doc);
        if (status != SettingsStatus::Ok) return status;
        if (doc != held && !WriteDocument(fileName, doc, &error)) return SettingsStatus::Failed;
        values = doc.find(path)->values;
        return SettingsStatus::Ok;
    }
};

SettingsKey::SettingsKey() = default;
SettingsKey::~SettingsKey() = default;

SettingsStatus SettingsKey::Create(const QString& path) {
    Close();
    const auto parts = SplitPath(path);
    if (!parts) return SettingsStatus::NotFound;
    const QString fileName = SettingsFilePath();
    Document doc;
    if (ReadDocument(fileName, doc, &error_) == FileState::Unreadable)
        return SettingsStatus::Failed;
    bool created = false;
    const Key& key = doc.ensure(*parts, &created);
    auto state = std::make_unique<State>();
    state->path = key.path;
    state->values = key.values;
    state->access = SettingsAccess::All;
    if (created && !WriteDocument(fileName, doc, &error_)) return SettingsStatus::Failed;
    state_ = std::move(state);
    return SettingsStatus::Ok;
}

SettingsStatus SettingsKey::Open(const QString& path, SettingsAccess access) {
    Close();
    const auto parts = SplitPath(path);
    if (!parts) return SettingsStatus::NotFound;
    const QString fileName = SettingsFilePath();
    Document doc;
    if (ReadDocument(fileName, doc, &error_) == FileState::Unreadable &&
        access == SettingsAccess::All)
        return SettingsStatus::AccessDenied;
    const Key* key = doc.find(*parts);
    if (!key) return SettingsStatus::NotFound;
    if (access == SettingsAccess::All && !IsWritable(fileName)) {
        error_ = QStringLiteral("The settings file %1 cannot be written").arg(fileName);
        return SettingsStatus::AccessDenied;
    }
    auto state = std::make_unique<State>();
    state->path = key->path;
    state->values = key->values;
    state->access = access;
    state_ = std::move(state);
    return SettingsStatus::Ok;
}

void SettingsKey::Close() {
    state_.reset();
}

bool SettingsKey::IsOpen() const {
    return state_ != nullptr;
}

QString SettingsKey::Path() const {
    return state_ ? state_->path.join(u'\\') : QString();
}

SettingsStatus SettingsKey::QueryValue(const QString& name, SettingsValueType* type,
                                       QByteArray* data) const {
    if (!state_) return SettingsStatus::NotFound;
    for (const Value& v : state_->values) {
        if (v.name.compare(name, Qt::CaseInsensitive) != 0) continue;
        if (type) *type = v.type;
        if (data) *data = v.data;
        return SettingsStatus::Ok;
    }
    return SettingsStatus::NotFound;
}

SettingsStatus SettingsKey::SetValue(const QString& name, SettingsValueType type,
                                     const QByteArray& data) {
    if (!state_) return SettingsStatus::NotFound;
    if (!IsPrintable(name)) {
        error_ = QStringLiteral("A value name cannot hold control characters");
        return SettingsStatus::Failed;
    }
    return state_->modify(error_, [&](Document& doc) {
        doc.find(state_->path)->set(name, type, data);
        return SettingsStatus::Ok;
    });
}

SettingsStatus SettingsKey::DeleteValue(const QString& name) {
    if (!state_) return SettingsStatus::NotFound;
    return state_->modify(error_, [&](Document& doc) {
        return doc.find(state_->path)->remove(name) ? SettingsStatus::Ok : SettingsStatus::NotFound;
    });
}

SettingsStatus SettingsKey::DeleteKey(const QString& relativePath) {
    if (!state_) return SettingsStatus::NotFound;
    const auto parts = SplitPath(relativePath);
    if (!parts) return SettingsStatus::NotFound;
    const QStringList target = state_->path + *parts;
    return state_->modify(error_, [&](Document& doc) {
        return doc.removeTree(target) ? SettingsStatus::Ok : SettingsStatus::NotFound;
    });
}

QString SettingsKey::ErrorText() const {
    return error_;
}

}  // namespace config
