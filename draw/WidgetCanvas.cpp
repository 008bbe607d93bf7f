#include "draw/WidgetCanvas.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

namespace draw {

WidgetCanvas::WidgetCanvas(QWidget* widget) : widget_(widget) {
    SetTarget(&screen_);
    if (widget_) {
        widget_->installEventFilter(this);
        FollowSize();
    }
}

WidgetCanvas::~WidgetCanvas() {
    if (widget_) widget_->removeEventFilter(this);
}

void WidgetCanvas::FollowSize() {
    if (!widget_) return;
    ResizeImage(screen_, widget_->width(), widget_->height());
}

void WidgetCanvas::Show(const QRect& changed) {
    if (widget_ && !changed.isEmpty()) widget_->update(changed);
}

bool WidgetCanvas::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_) {
        if (event->type() == QEvent::Resize) {
            FollowSize();
        } else if (event->type() == QEvent::Paint) {
            const QRect region = static_cast<QPaintEvent*>(event)->rect();
            if (!screen_.isNull()) QPainter(widget_).drawImage(region, screen_, region);
        }
    }
    return QObject::eventFilter(watched, event);
}

// Every drawing call draws into the picture, then shows the part it may have changed.

void WidgetCanvas::LineTo(int x, int y) {
    FollowSize();
    const QPoint from = PenPos();
    PainterCanvas::LineTo(x, y);
    Show(QRect(from, QPoint(x, y)).normalized());
}

void WidgetCanvas::FillRect(const Rect& r) {
    FollowSize();
    PainterCanvas::FillRect(r);
    Show(QRect(r.left, r.top, r.Width(), r.Height()));
}

void WidgetCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    FollowSize();
    PainterCanvas::Rectangle(x1, y1, x2, y2);
    Show(QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized());
}

void WidgetCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    FollowSize();
    PainterCanvas::Ellipse(x1, y1, x2, y2);
    Show(QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized());
}

void WidgetCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    FollowSize();
    PainterCanvas::Pie(x1, y1, x2, y2, x3, y3, x4, y4);
    Show(QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized());
}

void WidgetCanvas::TextOut(int x, int y, const QString& text) {
    FollowSize();
    PainterCanvas::TextOut(x, y, text);
    Show(QRect(x, y, TextWidth(text), TextHeight(text)));
}

void WidgetCanvas::TextRect(const Rect& clip, int x, int y, const QString& text) {
    FollowSize();
    PainterCanvas::TextRect(clip, x, y, text);
    Show(QRect(clip.left, clip.top, clip.Width(), clip.Height()));
}

void WidgetCanvas::CopyRect(const Rect& dest, const Canvas& source, const Rect& sourceRect) {
    FollowSize();
    PainterCanvas::CopyRect(dest, source, sourceRect);
    Show(QRect(dest.left, dest.top, dest.Width(), dest.Height()));
}

void WidgetCanvas::Draw(int x, int y, const QImage& picture) {
    FollowSize();
    PainterCanvas::Draw(x, y, picture);
    Show(QRect(QPoint(x, y), picture.size()));
}

}  // namespace draw
