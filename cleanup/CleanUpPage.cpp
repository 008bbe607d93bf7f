#include "cleanup/CleanUpPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QTextEdit>
#include <QVBoxLayout>

#include "views/PageParts.h"

#include "controls/SensiControls.h"

TCleanUpPage::TCleanUpPage(QWidget* parent) : TViewPage(parent) {
    auto* layout = new QVBoxLayout(this);

    panWebCleanUpPath_ = new QWidget;
    auto* header = new QVBoxLayout(panWebCleanUpPath_);
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(new QLabel("Folder"));
    txtWebCleanUpPath_ = new TPathLabel;
    txtWebCleanUpPath_->setObjectName("txtWebCleanUpPath");
    header->addWidget(txtWebCleanUpPath_);
    layout->addWidget(panWebCleanUpPath_);

    struct Row {
        TSensitivePanel** panel;
        const char* name;
        const char* label;
        const char* shortcut;
        int tag;
        QStyle::StandardPixmap image;
    };
    const Row rows[4] = {
        {&panCleanMenuDelete_, "panCleanMenuDelete", "Delete Folder", "Ctrl+D  ", 4,
         QStyle::SP_TrashIcon},
        {&panCleanMenuMove_, "panCleanMenuMove", "Move Folder", "Ctrl+M  ", 1,
         QStyle::SP_FileDialogToParent},
        {&panCleanMenuRecycle_, "panCleanMenuRecycle", "Send To Recycle Bin", "Ctrl+B  ", 3,
         QStyle::SP_TrashIcon},
        {&panCleanMenuCompress_, "panCleanMenuCompress", "Archive Folder", "Ctrl+R  ", 2,
         QStyle::SP_DriveHDIcon},
    };
    for (int i = 0; i < 4; ++i) {
        const Row& r = rows[i];
        auto* panel = *r.panel = new TSensitivePanel;
        panel->setObjectName(r.name);
        panel->setCaption(r.shortcut);
        panel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        panel->setCursor(Qt::PointingHandCursor);
        panel->setAutoFillBackground(true);
        panel->setBackgroundRole(QPalette::Button);
        panel->setMinimumHeight(40);
        auto* row = new QHBoxLayout(panel);
        auto* image = new QLabel;
        image->setPixmap(style()->standardIcon(r.image).pixmap(32, 32));
        auto* label = new QLabel(r.label);
        label->setProperty("tag", r.tag);
        row->addWidget(image);
        row->addWidget(label, 1);
        actions_[i] = {panel, image, label};
        for (QWidget* w : {static_cast<QWidget*>(panel), static_cast<QWidget*>(image),
                           static_cast<QWidget*>(label)})
            w->installEventFilter(this);
        layout->addWidget(panel);
    }

    ediCleanMenuHint_ = new QTextEdit;
    ediCleanMenuHint_->setObjectName("ediCleanMenuHint");
    ediCleanMenuHint_->setReadOnly(true);
    layout->addWidget(ediCleanMenuHint_, 1);
}

QLabel* TCleanUpPage::LabelOf(TSensitivePanel* panel) const {
    for (const Action& a : actions_) {
        if (a.panel == panel) return a.label;
    }
    return nullptr;
}

bool TCleanUpPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (int i = 0; i < 4; ++i) {
            const Action& a = actions_[i];
            if (watched != a.panel && watched != a.image && watched != a.label) continue;
            switch (i) {
                case 0:
                    emit panCleanMenuDeleteClick();
                    break;
                case 1:
                    emit panCleanMenuMoveClick();
                    break;
                case 2:
                    emit panCleanMenuRecycleClick();
                    break;
                default:
                    emit panCleanMenuCompressClick();
                    break;
            }
        }
    }
    return TViewPage::eventFilter(watched, event);
}

void TCleanUpPage::Present(const TPresentation& presentation) {
    txtWebCleanUpPath_->SetPath(presentation.Path);
}
