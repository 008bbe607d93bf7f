#pragma once
// Where top-level windows go: their placement kept in the settings store, and dialogs centred
// over their owner.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

// Placement of a top-level window under keyPath\section: "Left", "Top", "Width" and "Height" are
// its own area without the frame the window manager adds, so that a round trip keeps the window
// where it was. Restoring applies each value that is present and ignores values that cannot be
// read, and brings a window that would lie off every screen onto the nearest one; saving returns
// the store's message of a failure, empty on success. Nothing throws.
void RestoreFormPlacement(QWidget* window, const QString& keyPath, const QString& section);
QString SaveFormPlacement(QWidget* window, const QString& keyPath, const QString& section);

// "WindowState": 0 normal, 1 minimised, 2 maximised (a full-screen window counts as maximised).
// Restoring applies only 0, 1 or 2.
void RestoreWindowState(QWidget* window, const QString& keyPath, const QString& section);
QString SaveWindowState(QWidget* window, const QString& keyPath, const QString& section);

// Places a top-level dialog centred over the owner's part that lies on the owner's screen and
// keeps it on that screen: a negative edge becomes the screen's edge, and an edge past the
// screen's far side is pulled back so the dialog ends there (a dialog larger than the screen thus
// starts before the screen's near edge). A dialog never sized and not yet shown first takes the
// size showing it would give. Nothing happens if either window is null.
void CenterOnForm(QWidget* owner, QWidget* dialog);

// The arithmetic of CenterOnForm: where a dialog of the given size goes over an owner whose frame
// is ownerFrame, on a screen of the given geometry (all in global coordinates).
QPoint CenteredPosition(const QRect& ownerFrame, const QSize& dialog, const QRect& screen);
