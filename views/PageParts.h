#pragma once
// Pieces the pages share.

#include <QLabel>

// The bold label that shows a page's folder path: plain text, never wider than the room the
// page gives it, the path shortened in the middle with "..." when it does not fit.
class TPathLabel : public QLabel {
    Q_OBJECT
public:
    explicit TPathLabel(QWidget* parent = nullptr);

    void SetPath(const QString& path);
    const QString& Path() const { return path_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Shorten();
    QString path_;
};
