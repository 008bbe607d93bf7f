#include "views/PageParts.h"

#include <QLabel>

QLabel* NewPathLabel() {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(1);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}
