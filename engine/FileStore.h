#pragma once
// The files of a scanned drive, kept compactly beside its folder tree: one fixed-size record per
// file in chunked arrays, the names as the host stores them in one arena, the extensions in a
// table of their own. A folder's record names its files as a range of the store (FirstFile,
// StoredFiles); everything here runs on the main thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/WinTypes.h"

namespace engine {

class TFolderNode;
struct TFolderSize;

// What a file's extension says it is.
enum class TFileCategory : uint8_t {
    Images,
    Videos,
    Audio,
    Archives,
    Documents,
    Code,
    Packages,
    Other,
};
inline constexpr int kFileCategoryCount = 8;
// "Images", "Videos", ... "Other".
QString CategoryName(TFileCategory category);
// The category of a lower-case extension without its dot ("jpg"); Other for one it does not know.
TFileCategory CategoryOfExtension(QByteArrayView extension);

// One file: 32 bytes, trivial, so that the store's chunks take memory only as they fill.
struct TStoredFile {
    int64_t Length;
    int64_t OnDisk;       // what the file system gave it (blocks of 512 bytes)
    uint32_t LastChange;  // seconds since 1970 (UTC); 0 unknown (or before 1970)
    uint32_t LastAccess;
    uint32_t Name;     // where its name starts in the arena
    uint8_t NameSize;  // bytes: a host name has at most 255
    uint8_t Flags;     // TStoredFile::Sparse and the others
    uint16_t Type;     // its extension in the store's table; 0 none

    // ExtensionInType: the arena holds the name without its "." and extension, which is the
    // type's text (a lower-case extension, as most are).
    enum : uint8_t { Sparse = 1, Compressed = 2, ExtensionInType = 0x40, Removed = 0x80 };
    bool IsSparse() const { return Flags & Sparse; }
    bool IsCompressed() const { return Flags & Compressed; }
    bool IsRemoved() const { return Flags & Removed; }
};
static_assert(sizeof(TStoredFile) == 32);

// Seconds since 1970 of a file time, as a record keeps them, and back.
uint32_t StoredSeconds(platform::FileTime time);
platform::FileTime FileTimeOfSeconds(uint32_t seconds);

class TFileStore {
public:
    TFileStore();
    ~TFileStore();
    TFileStore(const TFileStore&) = delete;
    TFileStore& operator=(const TFileStore&) = delete;

    // A file as the scan meets it, its name as the host stores it; it is added with Commit.
    TStoredFile Make(QByteArrayView hostName, int64_t length, int64_t onDisk,
                     platform::FileTime lastChange, platform::FileTime lastAccess,
                     uint32_t attributes);
    // Appends one folder's files; the first one's index.
    uint32_t Commit(const std::vector<TStoredFile>& files);

    uint32_t Count() const { return count_; }
    const TStoredFile& At(uint32_t index) const {
        return chunks_[index >> kChunkBits][index & (kChunk - 1)];
    }
    // Marks a file as gone from the disk: lists and totals of the store skip it.
    void MarkRemoved(uint32_t index);

    QByteArray HostName(const TStoredFile& file) const;
    // The name as the program writes it (lossless: bytes that are not UTF-8 survive).
    QString Name(const TStoredFile& file) const;
    // The extension of a type, lower case, without its dot; empty for type 0.
    QString Extension(uint16_t type) const;
    TFileCategory Category(uint16_t type) const { return types_[type].Category; }
    int TypeCount() const { return int(types_.size()); }

    // The memory it holds, in bytes.
    size_t Bytes() const;

    // Moves what the folders of the subtree below root still name into a fresh store, rewriting
    // their records' ranges; the files of folders that went are dropped with them.
    void Compact(TFolderNode* root);
    // The files the records of the subtree name (removed ones included).
    static uint64_t NamedBy(const TFolderNode* root);

private:
    static constexpr int kChunkBits = 14;
    static constexpr uint32_t kChunk = 1u << kChunkBits;
    static constexpr uint32_t kNameChunk = 1u << 20;

    uint32_t AddName(QByteArrayView bytes);
    uint16_t TypeOf(QByteArrayView hostName);
    uint16_t TypeOfExtension(std::string_view extension);
    // What the arena holds of the name.
    QByteArrayView KeptBytes(const TStoredFile& file) const;

    struct TType {
        QByteArray Extension;
        TFileCategory Category = TFileCategory::Other;
    };
    std::vector<std::unique_ptr<TStoredFile[]>> chunks_;
    uint32_t count_ = 0;
    std::vector<std::unique_ptr<char[]>> names_;  // kNameChunk bytes each
    uint32_t nameEnd_ = 0;                        // in the last name chunk
    std::vector<TType> types_;
    // Looked up by the bytes of an extension, without making a string of them.
    struct TNameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>()(name);
        }
    };
    std::unordered_map<std::string, uint16_t, TNameHash, std::equal_to<>> typeIndex_;
    uint16_t lastType_ = 0;  // the type the last file had
};

// The store of the drive that holds node; nullptr when its scan kept none.
TFileStore* FileStoreOf(const TFolderNode* node);

// The store's index of the file of that name among a folder's files (removed ones aside).
std::optional<uint32_t> StoredFileIndex(const TFolderNode* folder, const QString& name);
// Marks that file as removed; the file as it was kept, or nullptr when the folder keeps none.
const TStoredFile* ForgetStoredFile(const TFolderNode* folder, const QString& name);

}  // namespace engine
