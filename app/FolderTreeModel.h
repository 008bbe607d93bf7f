#pragma once
// The item model the folder tree control shows: it reads the engine's folder tree directly (no
// second tree of items) and follows its change notifications. A node's icons are resolved the
// first time the view asks for them.

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>

#include "engine/FolderTree.h"

class TFolderTreeModel : public QAbstractItemModel, private engine::TFolderTreeListener {
    Q_OBJECT
public:
    explicit TFolderTreeModel(engine::TFolderTree& tree, QObject* parent = nullptr);
    ~TFolderTreeModel() override;

    QModelIndex IndexOf(const engine::TFolderNode* node) const;
    static engine::TFolderNode* NodeOf(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

private:
    void RowsAboutToBeInserted(engine::TFolderNode* parent, int first, int last) override;
    void RowsInserted(engine::TFolderNode* parent, int first, int last) override;
    void RowsAboutToBeRemoved(engine::TFolderNode* parent, int first, int last) override;
    void RowsRemoved(engine::TFolderNode* parent, int first, int last) override;
    void RecordChanged(engine::TFolderNode* node) override;

    // The node's icon, its selected form the open folder; resolves the indices on first use.
    QIcon IconOf(const engine::TFolderNode* node) const;
    void ForgetIcons(const engine::TFolderNode* node);

    engine::TFolderTree& tree_;
    // The indices into the system's small icon list of each node drawn so far (normal and
    // selected), and the icon made of each pair.
    mutable QHash<const engine::TFolderNode*, QPair<int, int>> imageIndices_;
    mutable QHash<QPair<int, int>, QIcon> icons_;
};
