#pragma once
// The list the file windows share: one row per stored file (or found folder) with its name, size,
// space on disk, latest change, type and folder, sorted by a header click (sizes and dates by
// their values). A row remembers its file; the windows read a row's folder path and file path.

#include <QTreeWidget>
#include <cstdint>

#include "engine/FileQueries.h"
#include "engine/TextForms.h"

class TFileRows : public QTreeWidget {
    Q_OBJECT
public:
    explicit TFileRows(QWidget* parent = nullptr);

    // Appends a row for a stored file, or for a found folder (with its record's totals).
    void AddFile(const engine::TFileHit& hit);
    void AddFolder(const engine::TFolderNode* folder);
    void Clear() { clear(); }

    // The current row's folder ("C:\dir") and the item itself ("C:\dir\name"); empty without one.
    QString CurrentFolderPath() const;
    QString CurrentItemPath() const;
    bool CurrentIsFolder() const;
    // A row's texts, for tests and reports.
    QStringList RowTexts(int row) const;

    enum TColumn { Name, Size, OnDisk, LastChange, Type, Folder, ColumnCount };

private:
    // Seconds since 1970 as the lists write dates, in local time; empty for 0.
    QString DateText(uint32_t seconds) const;

    engine::TDateTimeForm dates_;
};
