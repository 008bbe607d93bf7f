#pragma once
// TSectionSizeBox, the "Wasted & Drive Info" window: a small tool window that stays on top of
// the main window and shows how much of the hovered item is wasted and how full its drive is.

#include <QString>
#include <QWidget>

class TSectionSizeBox : public QWidget {
    Q_OBJECT
public:
    explicit TSectionSizeBox(QWidget* owner = nullptr);

    // The share of the item's used space that is wasted, and the wasted bytes as text.
    void SetWasted(int percent, const QString& text);
    // The drive's letter, its free share and the free and total bytes as text.
    void SetDrive(QChar letter, int freePercent, const QString& freeText, const QString& totalText);
};

// The window of the run, created at start beside the main window.
extern TSectionSizeBox* SectionSizeBox;
