#pragma once
// TOrbDriveComboBox and TOrbDriveCheckListBox: the drives as the file manager shows them, each
// entry with the drive's small shell icon and its display name. An entry's text is the upper-case
// drive letter followed by the display name ("D/home (D:)"), so its first character is always
// its drive letter; an entry shows the text without that letter.

#include <QComboBox>
#include <QIcon>
#include <QListWidget>
#include <QString>

class QPainter;

// Draws one drive entry into rect: the background (the selection colour when selected), the
// icon at the small icon size 2 pixels in and vertically centred, then the text without its first
// character on one line, ampersands shown as they are.
void DrawDriveEntry(QPainter& painter, const QRect& rect, const QIcon& icon, const QString& text,
                    bool selected, const QPalette& palette, const QSize& iconSize);

class TOrbDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TOrbDriveComboBox(QWidget* parent = nullptr);

    // Fills the list anew: one entry per drive of the drive map, A to Z, whatever its type.
    void BuildList();

    // The selected entry's drive letter (upper case); 0 when no entry is selected.
    QChar Drive() const;
    // The letter in upper case; nothing happens when it is the current Drive. Otherwise the first
    // entry of that letter is selected (the selection stays when there is none) and OnChange
    // fires, also when no entry matched.
    void setDrive(QChar letter);

    int SmallIconWidth() const { return iconWidth_; }
    int SmallIconHeight() const { return iconHeight_; }
    // The larger of the font's text height and the small icon height.
    int ItemHeight() const { return itemHeight_; }

signals:
    // The change event: a drive was chosen in the list, or Drive was set.
    void OnChange();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void UpdateItemHeight();

    int iconWidth_;
    int iconHeight_;
    int itemHeight_ = 0;
};

class TOrbDriveCheckListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TOrbDriveCheckListBox(QWidget* parent = nullptr);

    void BuildList();

    // The drive letters of the checked entries in list order ("CD"); empty when none.
    QString CheckedDrives() const;
    bool Checked(int index) const;
    void setChecked(int index, bool checked);

    int SmallIconWidth() const { return iconWidth_; }
    int SmallIconHeight() const { return iconHeight_; }
    // Every entry's height; computed from the font and icon until set.
    int ItemHeight() const { return itemHeight_; }
    void setItemHeight(int height);

protected:
    void changeEvent(QEvent* event) override;

private:
    int iconWidth_;
    int iconHeight_;
    int itemHeight_ = 0;
    bool fixedHeight_ = false;
};
