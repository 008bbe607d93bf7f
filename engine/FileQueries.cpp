#include "engine/FileQueries.h"

#include <algorithm>
#include <queue>

#include "engine/FolderTree.h"
#include "engine/Ncdu.h"
#include "engine/TextForms.h"
#include "platform/Drives.h"
#include "platform/HostNames.h"

namespace engine {

namespace {

// Calls visit for each folder of the subtree with a record, in the tree's order.
template <typename Visit>
bool EachFolder(const TFolderNode* node, Visit&& visit) {
    if (node->Record() && !visit(*node, *node->Record())) return false;
    for (int i = 0; i < node->ChildCount(); ++i)
        if (!EachFolder(node->Child(i), visit)) return false;
    return true;
}

bool Passes(const TFileStore& store, const TStoredFile& file, const TFileFilter& filter,
            const std::vector<char>& extensionPasses) {
    if (file.IsRemoved()) return false;
    if (filter.Category && store.Category(file.Type) != *filter.Category) return false;
    return !filter.ByExtension || extensionPasses[file.Type];
}

// A wildcard pattern as an expression over the whole name: "*" any run of characters, "?" one,
// every other character itself ("[", "\\" too: names hold them).
QString WildcardExpression(const QString& pattern) {
    QString expression = QStringLiteral("\\A(?:");
    for (const QChar c : pattern) {
        if (c == u'*')
            expression += QLatin1String(".*");
        else if (c == u'?')
            expression += u'.';
        else
            expression += QRegularExpression::escape(QString(c));
    }
    return expression + QStringLiteral(")\\z");
}

}  // namespace

QString ProgramPathOfFile(const TFileHit& hit) {
    const TFileStore* store = FileStoreOf(hit.Folder);
    return AddBackslash(NodePath(hit.Folder)) + store->Name(store->At(hit.Index));
}

QByteArray HostPathOfFolder(const TFolderNode* folder) {
    const QString path = NodePath(folder);
    const TImportFacts* facts = ImportFactsOf(folder);
    if (!facts) return platform::EncodeHostName(platform::ToHostPath(path));
    QByteArray host = platform::EncodeHostName(facts->RootPath);
    for (const QString& part : path.mid(3).split(u'\\', Qt::SkipEmptyParts))
        host += '/' + platform::EncodeHostName(platform::HostNameOf(part));
    return host;
}

QByteArray HostPathOfFile(const TFileHit& hit) {
    const TFileStore* store = FileStoreOf(hit.Folder);
    QByteArray host = HostPathOfFolder(hit.Folder);
    if (!host.endsWith('/')) host += '/';
    return host + store->HostName(store->At(hit.Index));
}

std::vector<TFileHit> LargestFiles(const TFolderNode* root, size_t count, bool byOnDisk,
                                   const TFileFilter& filter) {
    const TFileStore* store = FileStoreOf(root);
    if (!store || !root || count == 0) return {};
    std::vector<char> extensionPasses(size_t(store->TypeCount()), 0);
    if (filter.ByExtension)
        for (int type = 0; type < store->TypeCount(); ++type)
            extensionPasses[size_t(type)] = store->Extension(uint16_t(type)) == filter.Extension;
    const auto measure = [&](const TFileHit& hit) {
        const TStoredFile& file = store->At(hit.Index);
        return byOnDisk ? file.OnDisk : file.Length;
    };
    // The larger first; of two alike the one whose name's bytes come first.
    const auto larger = [&](const TFileHit& a, const TFileHit& b) {
        const int64_t x = measure(a), y = measure(b);
        if (x != y) return x > y;
        const int order =
            store->HostName(store->At(a.Index)).compare(store->HostName(store->At(b.Index)));
        return order != 0 ? order < 0 : a.Index < b.Index;
    };
    // The smallest of those kept on top, so that a file larger than it takes its place.
    std::priority_queue<TFileHit, std::vector<TFileHit>, decltype(larger)> kept(larger);
    EachFolder(root, [&](const TFolderNode& folder, const TFolderSize& r) {
        for (uint32_t i = r.FirstFile; i < r.FirstFile + r.StoredFiles; ++i) {
            if (!Passes(*store, store->At(i), filter, extensionPasses)) continue;
            const TFileHit hit{&folder, i};
            if (kept.size() < count) {
                kept.push(hit);
            } else if (larger(hit, kept.top())) {
                kept.pop();
                kept.push(hit);
            }
        }
        return true;
    });
    std::vector<TFileHit> hits;
    hits.reserve(kept.size());
    for (; !kept.empty(); kept.pop()) hits.push_back(kept.top());
    std::reverse(hits.begin(), hits.end());
    return hits;
}

TFileTypes FileTypesBelow(const TFolderNode* root) {
    TFileTypes types;
    for (int c = 0; c < kFileCategoryCount; ++c)
        types.Categories[size_t(c)].Category = TFileCategory(c);
    const TFileStore* store = FileStoreOf(root);
    if (!store || !root) return types;
    std::vector<TTypeTotals> byType(size_t(store->TypeCount()));
    EachFolder(root, [&](const TFolderNode&, const TFolderSize& r) {
        for (uint32_t i = r.FirstFile; i < r.FirstFile + r.StoredFiles; ++i) {
            const TStoredFile& file = store->At(i);
            if (file.IsRemoved()) continue;
            TTypeTotals& t = byType[file.Type];
            t.Files += 1;
            t.Length += file.Length;
            t.OnDisk += file.OnDisk;
        }
        return true;
    });
    for (int type = 0; type < store->TypeCount(); ++type) {
        TTypeTotals t = byType[size_t(type)];
        if (t.Files == 0) continue;
        t.Extension = store->Extension(uint16_t(type));
        t.Category = store->Category(uint16_t(type));
        for (TTypeTotals* sum : {&types.Categories[size_t(t.Category)], &types.All}) {
            sum->Files += t.Files;
            sum->Length += t.Length;
            sum->OnDisk += t.OnDisk;
        }
        types.Extensions.push_back(std::move(t));
    }
    std::stable_sort(
        types.Extensions.begin(), types.Extensions.end(),
        [](const TTypeTotals& a, const TTypeTotals& b) { return a.Length > b.Length; });
    return types;
}

TNameMatcher::TNameMatcher(const TNamePattern& pattern)
    : kind_(pattern.Kind),
      text_(pattern.Text),
      sensitivity_(pattern.CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) {
    if (kind_ == TNamePattern::TKind::Substring) return;
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (!pattern.CaseSensitive) options |= QRegularExpression::CaseInsensitiveOption;
    const QString expression =
        kind_ == TNamePattern::TKind::Wildcard ? WildcardExpression(pattern.Text) : pattern.Text;
    expression_ = QRegularExpression(expression, options);
    valid_ = expression_.isValid();
    if (!valid_) error_ = expression_.errorString();
    expression_.optimize();
}

bool TNameMatcher::Matches(const QString& name) const {
    if (!valid_) return false;
    if (kind_ == TNamePattern::TKind::Substring) return name.contains(text_, sensitivity_);
    return expression_.match(name).hasMatch();
}

void FindNames(const TFolderNode* root, const TNameMatcher& matcher,
               const std::function<bool(const TFoundName&)>& found) {
    if (!root || !matcher.IsValid()) return;
    const TFileStore* store = FileStoreOf(root);
    const auto visit = [&](auto& self, const TFolderNode* node) -> bool {
        if (node != root && matcher.Matches(node->DisplayName()) && !found({node, false, 0}))
            return false;
        if (const TFolderSize* r = node->Record(); store && r) {
            for (uint32_t i = r->FirstFile; i < r->FirstFile + r->StoredFiles; ++i) {
                const TStoredFile& file = store->At(i);
                if (!file.IsRemoved() && matcher.Matches(store->Name(file)) &&
                    !found({node, true, i}))
                    return false;
            }
        }
        for (int i = 0; i < node->ChildCount(); ++i)
            if (!self(self, node->Child(i))) return false;
        return true;
    };
    visit(visit, root);
}

}  // namespace engine
