#include "app/FolderTreeModel.h"

#include "desktop/Shell.h"
#include "views/PageParts.h"

using engine::TFolderNode;

TFolderTreeModel::TFolderTreeModel(engine::TFolderTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {
    tree_.AddListener(this);
}

TFolderTreeModel::~TFolderTreeModel() {
    tree_.RemoveListener(this);
}

TFolderNode* TFolderTreeModel::NodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<TFolderNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TFolderTreeModel::IndexOf(const TFolderNode* node) const {
    return node ? createIndex(node->Row(), 0, const_cast<TFolderNode*>(node)) : QModelIndex();
}

QModelIndex TFolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || row >= rowCount(parent)) return {};
    const TFolderNode* p = NodeOf(parent);
    return createIndex(row, 0, p ? p->Child(row) : tree_.TopLevel(row));
}

QModelIndex TFolderTreeModel::parent(const QModelIndex& child) const {
    const TFolderNode* node = NodeOf(child);
    return node ? IndexOf(node->Parent()) : QModelIndex();
}

int TFolderTreeModel::rowCount(const QModelIndex& parent) const {
    const TFolderNode* p = NodeOf(parent);
    return p ? p->ChildCount() : tree_.TopLevelCount();
}

int TFolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool TFolderTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant TFolderTreeModel::data(const QModelIndex& index, int role) const {
    TFolderNode* node = NodeOf(index);
    if (!node) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return node->DisplayName();
        case Qt::DecorationRole:
            return IconOf(node);
        default:
            return {};
    }
}

QIcon TFolderTreeModel::IconOf(const TFolderNode* node) const {
    auto& icons = desktop::ShellIconList::Instance();
    auto indices = imageIndices_.find(node);
    if (indices == imageIndices_.end()) {  // FolderTreeGetImageIndex
        const std::array<int, 2> shutAndOpen = ShellIconIndexesOf(engine::NodePath(node));
        indices = imageIndices_.insert(node, {shutAndOpen[0], shutAndOpen[1]});
    }
    auto it = icons_.find(*indices);
    if (it == icons_.end()) {
        QIcon icon;
        const QIcon normal = icons.Icon(indices->first);
        const QIcon selected = icons.Icon(indices->second);
        for (const QSize& size : {desktop::ShellIconSize(desktop::IconSize::Small),
                                  desktop::ShellIconSize(desktop::IconSize::Large)}) {
            icon.addPixmap(normal.pixmap(size), QIcon::Normal);
            icon.addPixmap(selected.pixmap(size), QIcon::Selected);
        }
        it = icons_.insert(*indices, icon);
    }
    return *it;
}

void TFolderTreeModel::ForgetIcons(const TFolderNode* node) {
    imageIndices_.remove(node);
    for (int i = 0; i < node->ChildCount(); ++i) ForgetIcons(node->Child(i));
}

void TFolderTreeModel::RowsAboutToBeInserted(TFolderNode* parent, int first, int last) {
    beginInsertRows(IndexOf(parent), first, last);
}

void TFolderTreeModel::RowsInserted(TFolderNode*, int, int) {
    endInsertRows();
}

void TFolderTreeModel::RowsAboutToBeRemoved(TFolderNode* parent, int first, int last) {
    beginRemoveRows(IndexOf(parent), first, last);
    // A later node may be made at a freed node's address.
    for (int row = first; row <= last; ++row)
        ForgetIcons(parent ? parent->Child(row) : tree_.TopLevel(row));
}

void TFolderTreeModel::RowsRemoved(TFolderNode*, int, int) {
    endRemoveRows();
}

void TFolderTreeModel::RecordChanged(TFolderNode* node) {
    const QModelIndex i = IndexOf(node);
    emit dataChanged(i, i);
}
