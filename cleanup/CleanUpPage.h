#pragma once
// The "Free Some Space" page: four action panels (delete, move, recycle, archive) that light up
// under the pointer, and a memo that explains the action pointed at.

#include <QWidget>
#include <array>

class QLabel;
class QTextEdit;
class TSensitivePanel;

class TCleanUpPage : public QWidget {
    Q_OBJECT
public:
    explicit TCleanUpPage(QWidget* parent = nullptr);

    QWidget* panWebCleanUpPath = nullptr;
    QLabel* txtWebCleanUpPath = nullptr;
    TSensitivePanel* panCleanMenuDelete = nullptr;
    TSensitivePanel* panCleanMenuMove = nullptr;
    TSensitivePanel* panCleanMenuRecycle = nullptr;
    TSensitivePanel* panCleanMenuCompress = nullptr;
    QTextEdit* ediCleanMenuHint = nullptr;

    // The label of a panel (its tag is the number of the hint text) and its image.
    QLabel* LabelOf(TSensitivePanel* panel) const;

signals:
    // A click on a panel, its image or its label.
    void panCleanMenuDeleteClick();
    void panCleanMenuMoveClick();
    void panCleanMenuRecycleClick();
    void panCleanMenuCompressClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Action {
        TSensitivePanel* panel;
        QLabel* image;
        QLabel* label;
    };
    std::array<Action, 4> actions_{};
};
