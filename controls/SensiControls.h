#pragma once
// TSensitivePanel: a panel that tells when the mouse enters and leaves it. Like a toolkit panel
// it can show a caption (aligned as asked) over its background colour.

#include <QEvent>
#include <QFrame>
#include <QString>

class TSensitivePanel : public QFrame {
    Q_OBJECT
public:
    explicit TSensitivePanel(QWidget* parent = nullptr);

    QString Caption() const { return caption_; }
    void setCaption(const QString& caption);
    Qt::Alignment Alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);

signals:
    // TSensitiveActivation: the panel, and the enter or leave event by reference. Each fires
    // after the panel's own handling of the event.
    void OnSensitiveActivate(QWidget* sender, QEvent& message);
    void OnSensitiveDeactivate(QWidget* sender, QEvent& message);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    Qt::Alignment alignment_ = Qt::AlignCenter;
};
