#include "controls/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <climits>

#include "config/Options.h"

namespace {

constexpr int32_t kAbsent = INT_MAX;

int WindowStateOf(const QWidget* window) {
    const Qt::WindowStates state = window->windowState();
    if (state & Qt::WindowMinimized) return 1;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) return 2;
    return 0;
}

// A window's place as restored: where it was when it lies on a screen, otherwise on the screen
// nearest to it, within that screen's available area.
QRect OnAScreen(const QRect& wanted) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return wanted;
    QRect nearest;
    qint64 distance = -1;
    for (const QScreen* screen : screens) {
        const QRect area = screen->availableGeometry();
        if (area.intersects(wanted)) return wanted;
        const QPoint d = area.center() - wanted.center();
        const qint64 now = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
        if (distance < 0 || now < distance) distance = now, nearest = area;
    }
    const QSize size = wanted.size().boundedTo(nearest.size());
    const int x = std::clamp(wanted.x(), nearest.left(), nearest.right() + 1 - size.width());
    const int y = std::clamp(wanted.y(), nearest.top(), nearest.bottom() + 1 - size.height());
    return {QPoint(x, y), size};
}

}  // namespace

void RestoreFormPlacement(QWidget* window, const QString& keyPath, const QString& section) {
    if (!window) return;
    int32_t left, top, width, height;
    try {
        TBinRegIniFile store(keyPath);
        left = store.ReadInteger(section, QStringLiteral("Left"), kAbsent);
        top = store.ReadInteger(section, QStringLiteral("Top"), kAbsent);
        width = store.ReadInteger(section, QStringLiteral("Width"), kAbsent);
        height = store.ReadInteger(section, QStringLiteral("Height"), kAbsent);
    } catch (const ERegistryException&) {
        return;
    }
    // The same geometry as was saved, the window's own area: a frame the window manager adds is
    // not known before the window is mapped, and mixing the two moved the window at every start.
    QRect place = window->geometry();
    if (left != kAbsent) place.moveLeft(left);
    if (top != kAbsent) place.moveTop(top);
    if (width != kAbsent) place.setWidth(width);
    if (height != kAbsent) place.setHeight(height);
    if (left == kAbsent && top == kAbsent && width == kAbsent && height == kAbsent) return;
    window->setGeometry(OnAScreen(place));
}

QString SaveFormPlacement(QWidget* window, const QString& keyPath, const QString& section) {
    if (!window) return {};
    const QRect place = window->geometry();
    try {
        TBinRegIniFile store(keyPath);
        store.WriteInteger(section, QStringLiteral("Left"), place.x());
        store.WriteInteger(section, QStringLiteral("Top"), place.y());
        store.WriteInteger(section, QStringLiteral("Width"), place.width());
        store.WriteInteger(section, QStringLiteral("Height"), place.height());
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return {};
}

void RestoreWindowState(QWidget* window, const QString& keyPath, const QString& section) {
    if (!window) return;
    int32_t state;
    try {
        state = RegReadInteger(keyPath, section, QStringLiteral("WindowState"), kAbsent);
    } catch (const ERegistryException&) {
        return;
    }
    static constexpr Qt::WindowStates kStates[] = {Qt::WindowNoState, Qt::WindowMinimized,
                                                   Qt::WindowMaximized};
    if (state < 0 || state > 2) return;
    const Qt::WindowStates kept =
        window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    window->setWindowState(kept | kStates[state]);
}

QString SaveWindowState(QWidget* window, const QString& keyPath, const QString& section) {
    if (!window) return {};
    try {
        RegWriteInteger(keyPath, section, QStringLiteral("WindowState"), WindowStateOf(window));
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return {};
}

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
