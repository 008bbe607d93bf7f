#include "controls/SensiControls.h"

#include <QEnterEvent>
#include <QPainter>

TSensitivePanel::TSensitivePanel(QWidget* parent) : QFrame(parent) {
    setAutoFillBackground(true);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
}

void TSensitivePanel::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

void TSensitivePanel::setAlignment(Qt::Alignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    update();
}

void TSensitivePanel::enterEvent(QEnterEvent* event) {
    QFrame::enterEvent(event);
    emit OnSensitiveActivate(this, *event);
}

void TSensitivePanel::leaveEvent(QEvent* event) {
    QFrame::leaveEvent(event);
    emit OnSensitiveDeactivate(this, *event);
}

void TSensitivePanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (caption_.isEmpty()) return;
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect().adjusted(4, 0, -4, 0),
                     static_cast<int>(alignment_) | Qt::TextSingleLine, caption_);
}
