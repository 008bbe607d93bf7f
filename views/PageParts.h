#pragma once
// Pieces the pages share.

#include <QLabel>
#include <array>

// The header of a page: the folder's name and type as the shell gives them; for a drive
// imported from an export, which the shell does not know, as the tree shows them.
struct TShellNames {
    QString name;
    QString type;
};
TShellNames ShellNamesOf(const QString& path);

// The shell's icon for a path; for a folder of an imported drive, which is not on this
// computer, the folder icon.
int ShellIconIndexOf(const QString& path, bool open = false);
// Its icons shut and open, the file system asked once.
std::array<int, 2> ShellIconIndexesOf(const QString& path);

// The bold label that shows a page's folder path: plain text, never wider than the room the
// page gives it, the path shortened in the middle with "..." when it does not fit.
class TPathLabel : public QLabel {
    Q_OBJECT
public:
    explicit TPathLabel(QWidget* parent = nullptr);

    void SetPath(const QString& path);
    const QString& Path() const { return path_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Shorten();
    QString path_;
};
