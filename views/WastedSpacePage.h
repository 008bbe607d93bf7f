#pragma once
// The "Wasted Space" page: the space the selected folder would waste at each of the seven
// reference cluster sizes, one panel with a caption, a gauge and a text per size.

#include <QWidget>
#include <array>

class QFrame;
class QLabel;
class QScrollArea;
class TSimplePieGauge;

class TWastedSpacePage : public QWidget {
    Q_OBJECT
public:
    explicit TWastedSpacePage(QWidget* parent = nullptr);

    QWidget* panWebWastedPath = nullptr;
    QLabel* txtWebWastedAmount = nullptr;
    QLabel* txtWebWastedPath = nullptr;
    QScrollArea* panWastedSupport = nullptr;
    QWidget* panWastedSupport1 = nullptr;  // panels 1 to 4
    QWidget* panWastedSupport2 = nullptr;  // panels 5 to 7
    // Index 0 is panel 1 (512 bytes), up to index 6, panel 7 (64 KB).
    std::array<QFrame*, 7> panWasted{};
    std::array<QLabel*, 7> capWasted{};
    std::array<TSimplePieGauge*, 7> WastedInd{};
    std::array<QLabel*, 7> txtWasted{};
    QLabel* txtWebReduceWaste = nullptr;
    // The help topic the link opens: 3010 while a folder is shown, 3020 for a drive.
    int ReduceWasteTopic = 3010;

signals:
    void txtWebReduceWasteClick();
};
