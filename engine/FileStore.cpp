#include "engine/FileStore.h"

#include <QByteArrayList>
#include <QHash>
#include <algorithm>
#include <array>
#include <cstring>

#include "engine/FolderTree.h"
#include "platform/HostNames.h"

namespace engine {

namespace {

// Extensions of each category, lower case.
const struct {
    TFileCategory category;
    const char* extensions;
} kKnownExtensions[] = {
    {TFileCategory::Images,
     "jpg jpeg jpe png gif bmp tif tiff webp heic heif avif raw cr2 cr3 nef arw dng orf rw2 svg "
     "ico psd xcf"},
    {TFileCategory::Videos, "mp4 m4v mkv avi mov wmv flv webm mpg mpeg m2ts mts vob 3gp ogv"},
    {TFileCategory::Audio, "mp3 wav flac aac ogg oga m4a wma opus aiff aif mid midi ape"},
    {TFileCategory::Archives,
     "zip rar 7z tar gz tgz bz2 tbz2 xz txz zst lz lzma lz4 z cab arj iso img"},
    {TFileCategory::Documents,
     "pdf doc docx xls xlsx ppt pptx odt ods odp rtf txt md csv epub tex html htm log"},
    {TFileCategory::Code,
     "c h cc cpp cxx hh hpp hxx py pyc js mjs cjs ts tsx jsx java class kt go rs rb php cs swift "
     "sh bash pl lua json xml yml yaml toml ini css scss less sql m mm o a map vue"},
    {TFileCategory::Packages,
     "deb rpm apk msi exe dll so jar war whl egg snap flatpak appimage dmg pkg nupkg gem node"},
};

const QHash<QByteArray, TFileCategory>& KnownExtensions() {
    static const QHash<QByteArray, TFileCategory> known = [] {
        QHash<QByteArray, TFileCategory> map;
        for (const auto& row : kKnownExtensions)
            for (const QByteArray& extension : QByteArray(row.extensions).split(' '))
                map.insert(extension, row.category);
        return map;
    }();
    return known;
}

// The extension of a host name: what follows its last dot, lower case (ASCII letters), written
// into buffer; none for a name that starts with its only dot (".bashrc"), ends in one, or has a
// long tail after it. This runs for every file a scan meets: it allocates nothing.
std::string_view ExtensionOf(QByteArrayView name, std::array<char, 16>& buffer) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0 || dot == name.size() - 1 || name.size() - dot - 1 > qsizetype(buffer.size()))
        return {};
    size_t length = 0;
    for (const char c : name.sliced(dot + 1))
        buffer[length++] = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    return {buffer.data(), length};
}

}  // namespace

QString CategoryName(TFileCategory category) {
    static const char* const kNames[] = {"Images",    "Videos", "Audio",    "Archives",
                                         "Documents", "Code",   "Packages", "Other"};
    return QString::fromLatin1(kNames[int(category)]);
}

TFileCategory CategoryOfExtension(QByteArrayView extension) {
    const auto& known = KnownExtensions();
    const auto it = known.constFind(extension.toByteArray());
    return it == known.cend() ? TFileCategory::Other : it.value();
}

uint32_t StoredSeconds(platform::FileTime time) {
    if (time <= platform::FileTime(platform::kUnixEpochAsFileTime)) return 0;
    const uint64_t seconds = (time - platform::kUnixEpochAsFileTime) / 10000000ULL;
    return uint32_t(std::min<uint64_t>(seconds, UINT32_MAX));
}

platform::FileTime FileTimeOfSeconds(uint32_t seconds) {
    return seconds == 0 ? 0 : platform::FileTimeFromUnix(seconds, 0);
}

TFileStore::TFileStore() {
    types_.push_back({});  // type 0: no extension
}

TFileStore::~TFileStore() = default;

uint32_t TFileStore::AddName(QByteArrayView bytes) {
    if (names_.empty() || nameEnd_ + uint32_t(bytes.size()) > kNameChunk) {
        names_.push_back(std::make_unique_for_overwrite<char[]>(kNameChunk));
        nameEnd_ = 0;
    }
    const uint32_t at = uint32_t(names_.size() - 1) * kNameChunk + nameEnd_;
    std::memcpy(names_.back().get() + nameEnd_, bytes.data(), size_t(bytes.size()));
    nameEnd_ += uint32_t(bytes.size());
    return at;
}

uint16_t TFileStore::TypeOf(QByteArrayView hostName) {
    std::array<char, 16> buffer;
    return TypeOfExtension(ExtensionOf(hostName, buffer));
}

uint16_t TFileStore::TypeOfExtension(std::string_view extension) {
    if (extension.empty()) return 0;
    // Files of a folder often share their extension.
    if (lastType_ != 0 && extension == std::string_view(types_[lastType_].Extension.constData(),
                                                        size_t(types_[lastType_].Extension.size())))
        return lastType_;
    if (const auto it = typeIndex_.find(extension); it != typeIndex_.end())
        return lastType_ = it->second;
    // A drive of more distinct extensions than a type can number keeps the rest as "none".
    if (types_.size() > UINT16_MAX) return 0;
    const auto type = uint16_t(types_.size());
    const QByteArray bytes(extension.data(), qsizetype(extension.size()));
    types_.push_back({bytes, CategoryOfExtension(bytes)});
    typeIndex_.emplace(std::string(extension), type);
    return lastType_ = type;
}

TStoredFile TFileStore::Make(QByteArrayView hostName, int64_t length, int64_t onDisk,
                             platform::FileTime lastChange, platform::FileTime lastAccess,
                             uint32_t attributes) {
    const QByteArrayView name = hostName.first(std::min<qsizetype>(hostName.size(), 255));
    TStoredFile file{};
    file.Length = length;
    file.OnDisk = onDisk;
    file.LastChange = StoredSeconds(lastChange);
    file.LastAccess = StoredSeconds(lastAccess);
    file.Type = TypeOf(name);
    // An extension in lower case is the type's own text: the arena keeps the name without it.
    QByteArrayView kept = name;
    if (file.Type != 0) {
        const QByteArray& extension = types_[file.Type].Extension;
        if (name.endsWith(extension)) {
            kept = name.first(name.size() - extension.size() - 1);
            file.Flags |= TStoredFile::ExtensionInType;
        }
    }
    file.Name = AddName(kept);
    file.NameSize = uint8_t(kept.size());
    if (attributes & platform::FILE_ATTRIBUTE_SPARSE_FILE) file.Flags |= TStoredFile::Sparse;
    if (attributes & platform::FILE_ATTRIBUTE_COMPRESSED) file.Flags |= TStoredFile::Compressed;
    return file;
}

uint32_t TFileStore::Commit(const std::vector<TStoredFile>& files) {
    const uint32_t first = count_;
    for (const TStoredFile& file : files) {
        if ((count_ & (kChunk - 1)) == 0 && (count_ >> kChunkBits) == chunks_.size())
            chunks_.push_back(std::make_unique_for_overwrite<TStoredFile[]>(kChunk));
        chunks_[count_ >> kChunkBits][count_ & (kChunk - 1)] = file;
        ++count_;
    }
    return first;
}

void TFileStore::MarkRemoved(uint32_t index) {
    chunks_[index >> kChunkBits][index & (kChunk - 1)].Flags |= TStoredFile::Removed;
}

QByteArrayView TFileStore::KeptBytes(const TStoredFile& file) const {
    return {names_[file.Name / kNameChunk].get() + file.Name % kNameChunk, file.NameSize};
}

QByteArray TFileStore::HostName(const TStoredFile& file) const {
    QByteArray name = KeptBytes(file).toByteArray();
    if (file.Flags & TStoredFile::ExtensionInType) name += '.' + types_[file.Type].Extension;
    return name;
}

QString TFileStore::Name(const TStoredFile& file) const {
    // Searches ask this of every file: the name is put together on the stack, not in a string.
    std::array<char, 256 + 1 + 16> bytes;
    const QByteArrayView kept = KeptBytes(file);
    std::memcpy(bytes.data(), kept.data(), size_t(kept.size()));
    size_t length = size_t(kept.size());
    if (file.Flags & TStoredFile::ExtensionInType) {
        const QByteArray& extension = types_[file.Type].Extension;
        bytes[length++] = '.';
        std::memcpy(bytes.data() + length, extension.constData(), size_t(extension.size()));
        length += size_t(extension.size());
    }
    return platform::ProgramNameOf(platform::DecodeHostName(bytes.data(), qsizetype(length)));
}

QString TFileStore::Extension(uint16_t type) const {
    return QString::fromLatin1(types_[type].Extension);
}

size_t TFileStore::Bytes() const {
    return chunks_.size() * kChunk * sizeof(TStoredFile) + names_.size() * kNameChunk +
           types_.size() * sizeof(TType) + sizeof(*this);
}

uint64_t TFileStore::NamedBy(const TFolderNode* root) {
    if (!root) return 0;
    uint64_t named = root->Record() ? root->Record()->StoredFiles : 0;
    for (int i = 0; i < root->ChildCount(); ++i) named += NamedBy(root->Child(i));
    return named;
}

void TFileStore::Compact(TFolderNode* root) {
    TFileStore fresh;
    std::vector<TStoredFile> files;
    const auto move = [&](auto& self, TFolderNode* node) -> void {
        if (TFolderSize* r = node->Record(); r && r->StoredFiles > 0) {
            files.clear();
            for (uint32_t i = r->FirstFile; i < r->FirstFile + r->StoredFiles; ++i) {
                TStoredFile file = At(i);
                file.Name = fresh.AddName(KeptBytes(file));
                const QByteArray& extension = types_[file.Type].Extension;
                file.Type =
                    fresh.TypeOfExtension({extension.constData(), size_t(extension.size())});
                files.push_back(file);
            }
            r->FirstFile = fresh.Commit(files);
        }
        for (int i = 0; i < node->ChildCount(); ++i) self(self, node->Child(i));
    };
    move(move, root);
    std::swap(chunks_, fresh.chunks_);
    std::swap(count_, fresh.count_);
    std::swap(names_, fresh.names_);
    std::swap(nameEnd_, fresh.nameEnd_);
    std::swap(types_, fresh.types_);
    std::swap(typeIndex_, fresh.typeIndex_);
    std::swap(lastType_, fresh.lastType_);
}

TFileStore* FileStoreOf(const TFolderNode* node) {
    const DriveRecord* drive = DriveRecordOf(node);
    return drive ? drive->Files.get() : nullptr;
}

std::optional<uint32_t> StoredFileIndex(const TFolderNode* folder, const QString& name) {
    const TFileStore* store = FileStoreOf(folder);
    const TFolderSize* r = folder ? folder->Record() : nullptr;
    if (!store || !r) return std::nullopt;
    for (uint32_t i = r->FirstFile; i < r->FirstFile + r->StoredFiles; ++i)
        if (!store->At(i).IsRemoved() && store->Name(store->At(i)) == name) return i;
    return std::nullopt;
}

const TStoredFile* ForgetStoredFile(const TFolderNode* folder, const QString& name) {
    const std::optional<uint32_t> index = StoredFileIndex(folder, name);
    if (!index) return nullptr;
    TFileStore* store = FileStoreOf(folder);
    store->MarkRemoved(*index);
    return &store->At(*index);
}

}  // namespace engine
