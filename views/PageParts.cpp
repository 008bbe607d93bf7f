#include "views/PageParts.h"

#include "engine/TextForms.h"

TPathLabel::TPathLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setMinimumWidth(1);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

void TPathLabel::SetPath(const QString& path) {
    path_ = path;
    setToolTip(path);
    Shorten();
}

void TPathLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Shorten();
}

void TPathLabel::Shorten() {
    const QFontMetrics metrics(font());
    setText(engine::ShortenedPath(path_, contentsRect().width(), [&metrics](const QString& text) {
        return metrics.horizontalAdvance(text);
    }));
}
