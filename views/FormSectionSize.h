#pragma once
// TSectionSizeBox, the "Wasted & Drive Info" window: a small tool window that stays on top of
// the main window and shows how much of the hovered item is wasted and how full its drive is.
//
// It restores its placement from section "PopUpBox" of the program's key when it is made and
// saves it there when it goes; without one it first shows at its owner's right edge. A right click
// anywhere in it opens its menu ("&Hide",
// "&Default Size").

#include <QString>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class TSimplePieGauge;

class TSectionSizeBox : public QWidget {
    Q_OBJECT
public:
    explicit TSectionSizeBox(QWidget* owner = nullptr);
    ~TSectionSizeBox() override;

    // The share of the item's used space that is wasted, and the wasted bytes as text.
    void SetWasted(int percent, const QString& text);
    // The drive's letter, its free share and the free and total bytes as text.
    void SetDrive(QChar letter, int freePercent, const QString& freeText, const QString& totalText);
    // Colours the gauges from the colour table: "Pie - Section Wasted" and "Pie - Free space".
    void ApplyColors();

    // Upper block: "Item wastes", the wasted text, its gauge, "of used space".
    QWidget* panWasted = nullptr;
    QLabel* txtWasted = nullptr;
    TSimplePieGauge* gaugeWasted = nullptr;
    // Lower block: "Drive X:", "Free space", its gauge, "<free> out of", "<total>".
    QWidget* panDrive = nullptr;
    QLabel* txtDrive = nullptr;
    TSimplePieGauge* gaugeDriveFreeSpace = nullptr;
    QLabel* txtDriveFreeSpace = nullptr;
    QLabel* txtDriveCapacity = nullptr;

    QMenu* popSectionBox = nullptr;
    QAction* popSectionBoxHide = nullptr;         // closes the window
    QAction* popSectionBoxDefaultSize = nullptr;  // 98 x 238

signals:
    // The user closed the window (its close box or "&Hide"); the program's own hiding is no
    // close.
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// The window of the run, created at start beside the main window.
extern TSectionSizeBox* SectionSizeBox;
