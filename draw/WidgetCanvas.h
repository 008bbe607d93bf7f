#pragma once
// The canvas of an on-screen widget, such as the pie chart's paint box: what is drawn on it
// shows in the widget and stays there until drawn over, like the surface of a paint box.
//
// Qt lets a widget be painted only while it repaints itself, so the canvas keeps a picture of
// the widget's size, draws into it, asks the widget to repaint the part that changed, and paints
// that picture whenever the widget repaints (before the widget's own paint handler runs, which
// may draw on top). Resizing the widget keeps the picture's content where both sizes overlap.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "draw/PainterCanvas.h"

namespace draw {

class WidgetCanvas : public QObject, public PainterCanvas {
    Q_OBJECT
public:
    // The canvas follows widget until the widget is destroyed; after that it draws only into its
    // own picture.
    explicit WidgetCanvas(QWidget* widget);
    ~WidgetCanvas() override;

    QWidget* Widget() const { return widget_; }

    void LineTo(int x, int y) override;
    void FillRect(const Rect& r) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
    void TextOut(int x, int y, const QString& text) override;
    void TextRect(const Rect& clip, int x, int y, const QString& text) override;
    void CopyRect(const Rect& dest, const Canvas& source, const Rect& sourceRect) override;
    void Draw(int x, int y, const QImage& picture) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show(const QRect& changed);
    void FollowSize();

    QPointer<QWidget> widget_;
    QImage screen_;
};

}  // namespace draw
