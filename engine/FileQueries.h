#pragma once
// Questions asked of the file store below a folder: its largest files, its files by type, and
// the files and folders whose names match a pattern.

#include <QRegularExpression>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/FileStore.h"

namespace engine {

class TFolderNode;

// One stored file and the folder that holds it.
struct TFileHit {
    const TFolderNode* Folder = nullptr;
    uint32_t Index = 0;  // in the folder's drive's store
};

// A stored file's path as the program writes it ("C:\\dir\\name"), and as the host names it,
// byte for byte (an imported drive's under the folder its export names).
QString ProgramPathOfFile(const TFileHit& hit);
QByteArray HostPathOfFile(const TFileHit& hit);
// A folder's path as the host names it (an imported drive's as its export does).
QByteArray HostPathOfFolder(const TFolderNode* folder);

// Which files a list takes.
struct TFileFilter {
    std::optional<TFileCategory> Category;
    bool ByExtension = false;  // only the files of Extension
    QString Extension;         // lower case, without its dot; "" for files without one
};

// The count largest files below root (its own files and its subfolders', at all depths), by
// length or by space on disk, largest first, of two alike the one the scan met first. Empty without
// a store.
std::vector<TFileHit> LargestFiles(const TFolderNode* root, size_t count, bool byOnDisk,
                                   const TFileFilter& filter = {});

// The files of one kind below a folder together.
struct TTypeTotals {
    QString Extension;  // lower case, without its dot; empty for files without one
    TFileCategory Category = TFileCategory::Other;
    int64_t Files = 0;
    int64_t Length = 0;
    int64_t OnDisk = 0;
};
struct TFileTypes {
    std::vector<TTypeTotals> Extensions;                       // by length, largest first
    std::array<TTypeTotals, kFileCategoryCount> Categories{};  // by TFileCategory
    TTypeTotals All;
};
TFileTypes FileTypesBelow(const TFolderNode* root);

// A name pattern: a piece of the name, a wildcard pattern over the whole name ("*" any run of
// characters, "?" one), or a regular expression found anywhere in it.
struct TNamePattern {
    enum class TKind { Substring, Wildcard, RegularExpression };
    TKind Kind = TKind::Substring;
    QString Text;
    bool CaseSensitive = false;
};
class TNameMatcher {
public:
    explicit TNameMatcher(const TNamePattern& pattern);
    // False, with the reason, for a regular expression that does not compile.
    bool IsValid() const { return valid_; }
    QString Error() const { return error_; }
    bool Matches(const QString& name) const;

private:
    TNamePattern::TKind kind_;
    QString text_;
    Qt::CaseSensitivity sensitivity_;
    QRegularExpression expression_;
    bool valid_ = true;
    QString error_;
};

// A name found: a folder (Index unused) or a file.
struct TFoundName {
    const TFolderNode* Folder = nullptr;
    bool IsFile = false;
    uint32_t Index = 0;
};
// Calls found for each folder below root (root aside) and each stored file whose name matches,
// in the tree's order, folders before their files; found answers false to stop the search.
void FindNames(const TFolderNode* root, const TNameMatcher& matcher,
               const std::function<bool(const TFoundName&)>& found);

}  // namespace engine
