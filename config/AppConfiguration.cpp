#include "config/AppConfiguration.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

QPoint CenteredPosition(const QRect& ownerFrame, const QSize& dialog, const QRect& screen) {
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    const int visibleWidth = std::min(ownerFrame.width(), screenRight - ownerFrame.x());
    const int visibleHeight = std::min(ownerFrame.height(), screenBottom - ownerFrame.y());
    // Integer division truncates toward zero, as the placement rule wants.
    int left = ownerFrame.x() + (visibleWidth - dialog.width()) / 2;
    int top = ownerFrame.y() + (visibleHeight - dialog.height()) / 2;
    if (left < screen.x()) left = screen.x();
    if (top < screen.y()) top = screen.y();
    if (left + dialog.width() > screenRight) left = screenRight - dialog.width();
    if (top + dialog.height() > screenBottom) top = screenBottom - dialog.height();
    return {left, top};
}

void CenterOnForm(QWidget* owner, QWidget* dialog) {
    if (!owner || !dialog) return;
    QScreen* screen = owner->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // Showing would resize a never-sized window to its layout's size after we placed it.
    if (!dialog->isVisible() && !dialog->testAttribute(Qt::WA_Resized)) dialog->adjustSize();
    dialog->move(CenteredPosition(owner->frameGeometry(), dialog->frameGeometry().size(),
                                  screen->geometry()));
}
