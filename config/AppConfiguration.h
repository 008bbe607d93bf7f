#pragma once
// The program's settings and the window-placement helpers.

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Places a top-level dialog centred over the owner's part that lies on the owner's screen and
// keeps it on that screen: a negative edge becomes the screen's edge, and an edge past the
// screen's far side is pulled back so the dialog ends there (a dialog larger than the screen thus
// starts before the screen's near edge). A dialog never sized and not yet shown first takes the
// size showing it would give. Nothing happens if either window is null.
void CenterOnForm(QWidget* owner, QWidget* dialog);

// The arithmetic of CenterOnForm: where a dialog of the given size goes over an owner whose frame
// is ownerFrame, on a screen of the given geometry (all in global coordinates).
QPoint CenteredPosition(const QRect& ownerFrame, const QSize& dialog, const QRect& screen);
