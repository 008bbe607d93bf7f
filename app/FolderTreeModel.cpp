#include "app/FolderTreeModel.h"

#include "platform/Shell.h"

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

QIcon TFolderTreeModel::IconOf(TFolderNode* node) const {
    auto& icons = platform::ShellIconList::Instance();
    if (node->ImageIndex < 0 || node->SelectedImageIndex < 0) {
        const QString path = engine::NodePath(node);
        if (node->ImageIndex < 0) node->ImageIndex = icons.IndexOf(path);
        if (node->SelectedImageIndex < 0) node->SelectedImageIndex = icons.IndexOf(path, true);
    }
    const quint64 key =
        quint64(uint32_t(node->ImageIndex)) << 32 | uint32_t(node->SelectedImageIndex);
    auto it = icons_.find(key);
    if (it == icons_.end()) {
        QIcon icon;
        const QIcon normal = icons.Icon(node->ImageIndex);
        const QIcon selected = icons.Icon(node->SelectedImageIndex);
        for (const QSize& size : {platform::ShellIconSize(platform::IconSize::Small),
                                  platform::ShellIconSize(platform::IconSize::Large)}) {
            icon.addPixmap(normal.pixmap(size), QIcon::Normal);
            icon.addPixmap(selected.pixmap(size), QIcon::Selected);
        }
        it = icons_.insert(key, icon);
    }
    return *it;
}

void TFolderTreeModel::RowsAboutToBeInserted(TFolderNode* parent, int first, int last) {
    beginInsertRows(IndexOf(parent), first, last);
}

void TFolderTreeModel::RowsInserted(TFolderNode*, int, int) {
    endInsertRows();
}

void TFolderTreeModel::RowsAboutToBeRemoved(TFolderNode* parent, int first, int last) {
    beginRemoveRows(IndexOf(parent), first, last);
}

void TFolderTreeModel::RowsRemoved(TFolderNode*, int, int) {
    endRemoveRows();
}

void TFolderTreeModel::RecordChanged(TFolderNode* node) {
    const QModelIndex i = IndexOf(node);
    emit dataChanged(i, i);
}
