#include "views/FormSectionSize.h"

TSectionSizeBox* SectionSizeBox = nullptr;

TSectionSizeBox::TSectionSizeBox(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("SectionSizeBox");
    setWindowTitle("Wasted & Drive Info");
    resize(98, 238);
}

void TSectionSizeBox::SetWasted(int, const QString&) {}

void TSectionSizeBox::SetDrive(QChar, int, const QString&, const QString&) {}
