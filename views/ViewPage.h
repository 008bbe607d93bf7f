#pragma once
// What every page of the main window is: a widget that owns its controls and presents one
// folder when told to, keeping what it showed last so that presenting the same folder again
// costs nothing. The window dispatches; a page asks the window for what only the window does
// (selecting in the tree, the item menu, the status bar) through its signals.

#include <QPoint>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "views/Presentation.h"

class TViewPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Shows the folder; the page is built anew only when it shows another folder or was told
    // to forget.
    virtual void Present(const TPresentation& presentation) = 0;
    // Forgets what the page shows, so that the next Present builds it in full.
    virtual void Forget() = 0;
    // The node and its subtree are about to leave the tree: the page lets go of them.
    virtual void NodeLeaving(const engine::TFolderNode* gone) { Q_UNUSED(gone); }

signals:
    // The first status-bar field should say this.
    void StatusTextChanged(const QString& text);
    // Select this folder in the tree; expand it one level when asked.
    void FolderChosen(engine::TFolderNode* node, bool expand);
    // Go up from the presented folder to its parent; collapse what is left when asked.
    void LevelUpRequested(bool collapse);
    // Show the menu of a folder or file item at a screen point.
    void ItemMenuRequested(const QString& path, bool folder, int64_t size, int64_t wasted,
                           const QPoint& globalPos);
};
