#pragma once
// TBarChartBox, the tree bar chart window: the selected folder and every folder below it, each
// with a bar as long as its share of the selected folder.

#include <QDialog>

class TBarChartBox : public QDialog {
    Q_OBJECT
public:
    explicit TBarChartBox(QWidget* owner = nullptr);
};

// The window of the run, created at start beside the main window.
extern TBarChartBox* BarChartBox;
