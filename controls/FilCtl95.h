#pragma once
// TDrive95ComboBox and TDirectory95ListBox: the toolkit's drive list and folder list, drawn with
// the program's own glyphs (resources ":/glyphs/FLOPPY_95.png" and the others).
//
// The drive list shows, for each drive from A to Z by type: a removable drive as its letter and a
// colon alone ("a:", the drive is not touched); a fixed drive, CD-ROM drive or RAM disk with its
// volume label in brackets ("c: [system]"); a network drive with its connection ("n: //srv/share");
// drives of other types are left out. The folder list shows the folders from the drive root down
// to the current folder, then the current folder's subfolders, indented by level.

#include <QComboBox>
#include <QHash>
#include <QListWidget>
#include <QPixmap>
#include <QString>

#include "platform/Volume.h"

class TDirectory95ListBox;

enum TTextCase { tcLowerCase, tcUpperCase };

// The glyph of a resource name such as "FIXED_95".
QPixmap Glyph95(const char* resourceName);

class TDrive95ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDrive95ComboBox(QWidget* parent = nullptr);

    // Fills the list anew from the drive map; the current drive stays selected when still there.
    void BuildList();

    // The selected drive's letter as the list shows it (lower case by default); 0 when none.
    QChar Drive() const;
    // Selects the drive (either case); a letter not listed changes nothing. OnChange fires when
    // the drive changed.
    void setDrive(QChar letter);

    TTextCase TextCase() const { return textCase_; }
    void setTextCase(TTextCase textCase);

    // A linked folder list follows every change of drive.
    TDirectory95ListBox* DirList() const { return dirList_; }
    void setDirList(TDirectory95ListBox* dirList) { dirList_ = dirList; }

    // The height every entry has: the font's line or the tallest glyph, whichever is larger.
    int ItemHeight() const { return itemHeight_; }

signals:
    void OnChange();

protected:
    void changeEvent(QEvent* event) override;

private:
    void Chosen();
    void UpdateItemHeight();

    TTextCase textCase_ = tcLowerCase;
    TDirectory95ListBox* dirList_ = nullptr;
    int itemHeight_ = 0;
};

class TDirectory95ListBox : public QListWidget {
    Q_OBJECT
public:
    // Item data of each row.
    enum Role { PathRole = Qt::UserRole, LevelRole, GlyphRole };

    explicit TDirectory95ListBox(QWidget* parent = nullptr);

    // The current folder, a program path ("C:\home\ann"; a root as "C:\").
    QString Directory() const { return directory_; }
    // Lists the folder; false (nothing changes) when it cannot be listed.
    bool setDirectory(const QString& path);

    QChar Drive() const { return directory_.isEmpty() ? QChar() : directory_[0]; }
    // Goes to the folder last shown on that drive, or its root. IoError when the drive cannot be
    // read (then nothing changes), OtherError for a letter that is no drive.
    platform::ChangeDirectoryResult setDrive(QChar letter);

signals:
    void OnChange();

private:
    void Open(QListWidgetItem* item);

    QString directory_;
    QHash<QChar, QString> lastFolder_;  // by upper-case drive letter
};
