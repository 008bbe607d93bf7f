#pragma once
// The "Wasted Space" page: the space the selected folder would waste at each of the seven
// reference cluster sizes, one panel with a caption, a gauge and a text per size.

#include <array>

#include "views/ViewPage.h"

class QFrame;
class QLabel;
class QScrollArea;
class TPathLabel;
class TSimplePieGauge;

class TWastedSpacePage : public TViewPage {
    Q_OBJECT
public:
    explicit TWastedSpacePage(QWidget* parent = nullptr);

    void Present(const TPresentation& presentation) override;
    void Forget() override {}

    // The help topic the link opens: 3010 while a folder is shown, 3020 for a drive.
    int ReduceWasteTopic() const { return ReduceWasteTopic_; }

    // What the page shows, as a report repeats it.
    struct TPanelTexts {
        QString Caption, CaptionHint, Wasted, WastedHint;
        int Percent = 0;
    };
    struct TTexts {
        QString Amount;  // "Amount of space wasted ..."
        QString Path;    // the path label as shown
        std::array<TPanelTexts, 7> Panels;
    };
    TTexts Texts() const;

signals:
    // txtWebReduceWasteClick: open the help topic of the link.
    void HelpRequested(int topic);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOutRows();

    QWidget* panWebWastedPath_ = nullptr;
    QLabel* txtWebWastedAmount_ = nullptr;
    TPathLabel* txtWebWastedPath_ = nullptr;
    QScrollArea* panWastedSupport_ = nullptr;
    QWidget* area_ = nullptr;               // what the scroll area shows
    QWidget* panWastedSupport1_ = nullptr;  // panels 1 to 4
    QWidget* panWastedSupport2_ = nullptr;  // panels 5 to 7
    // Index 0 is panel 1 (512 bytes), up to index 6, panel 7 (64 KB).
    std::array<QFrame*, 7> panWasted_{};
    std::array<QLabel*, 7> capWasted_{};
    std::array<TSimplePieGauge*, 7> WastedInd_{};
    std::array<QLabel*, 7> txtWasted_{};
    QLabel* txtWebReduceWaste_ = nullptr;
    int ReduceWasteTopic_ = 3010;
};
