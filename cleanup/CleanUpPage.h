#pragma once
// The "Free Some Space" page: four action panels (delete, move, recycle, archive) that light up
// under the pointer, and a memo that explains the action pointed at.

#include <array>

#include "views/ViewPage.h"

class QLabel;
class QTextEdit;
class TPathLabel;
class TSensitivePanel;

class TCleanUpPage : public TViewPage {
    Q_OBJECT
public:
    explicit TCleanUpPage(QWidget* parent = nullptr);

    void Present(const TPresentation& presentation) override;
    void Forget() override {}

signals:
    // A click on a panel, its image or its label.
    void panCleanMenuDeleteClick();
    void panCleanMenuMoveClick();
    void panCleanMenuRecycleClick();
    void panCleanMenuCompressClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The label of a panel (its tag is the number of the hint text) and its image.
    QLabel* LabelOf(TSensitivePanel* panel) const;

    QWidget* panWebCleanUpPath_ = nullptr;
    TPathLabel* txtWebCleanUpPath_ = nullptr;
    TSensitivePanel* panCleanMenuDelete_ = nullptr;
    TSensitivePanel* panCleanMenuMove_ = nullptr;
    TSensitivePanel* panCleanMenuRecycle_ = nullptr;
    TSensitivePanel* panCleanMenuCompress_ = nullptr;
    QTextEdit* ediCleanMenuHint_ = nullptr;
    struct Action {
        TSensitivePanel* panel;
        QLabel* image;
        QLabel* label;
    };
    std::array<Action, 4> actions_{};
};
