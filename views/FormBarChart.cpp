#include "views/FormBarChart.h"

TBarChartBox* BarChartBox = nullptr;

TBarChartBox::TBarChartBox(QWidget* owner) : QDialog(owner, Qt::Tool) {
    setObjectName("BarChartBox");
    setWindowTitle("Tree Bar Chart");
    resize(509, 300);
}
