#pragma once
// What the file windows (Largest Files, File Types, Find in Scan) share: a window run modally
// over a folder of the tree, its placement kept in a section of the program's key, a status
// line, and the folder the user chose (Enter or a double click) for the main window to open.
// The rows name the tree's nodes: the lists are emptied whenever the window closes.

#include <QDialog>
#include <QString>
#include <functional>

namespace engine {
class TFolderNode;
}

class QLabel;
class QVBoxLayout;
class TFileRows;

class TFileWindow : public QDialog {
    Q_OBJECT
public:
    // The item menu of a row's file or folder, shown by the main window (which knows what a
    // removal changes); true when the item is gone from the disk afterwards. A file gone leaves
    // the list; a folder gone closes the window, whose nodes it may have held.
    using TItemMenu = std::function<bool(const QString& path, bool folder, const QPoint& at)>;

    TFileWindow(const QString& title, const QString& section, QWidget* owner);
    ~TFileWindow() override;

    void SetItemMenu(TItemMenu menu) { itemMenu_ = std::move(menu); }
    // The folder chosen with Enter or a double click; empty otherwise.
    const QString& ResultPath() const { return resultPath_; }

    QLabel* StatusLine = nullptr;
    // The note a window shows instead of its list when the folder's drive kept no file details.
    static QString NotKeptText();

    void done(int result) override;

protected:
    // Lets the user choose the current row's folder from the list (Enter, double click) and
    // opens the item menu on a right click.
    void ConnectRows(TFileRows* rows);
    // Empties what the window shows; called whenever it closes.
    virtual void Forget() = 0;
    void Choose(const QString& folderPath);
    // The item menu of a file or folder through the main window; true when it is gone after.
    bool ItemMenu(const QString& path, bool folder, const QPoint& at) {
        return itemMenu_ && itemMenu_(path, folder, at);
    }
    // A window filled anew has no choice yet.
    void Begin() { resultPath_.clear(); }
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QVBoxLayout* Layout = nullptr;

private:
    QString section_;
    QString resultPath_;
    TItemMenu itemMenu_;
    TFileRows* rows_ = nullptr;
    bool shown_ = false;
};
