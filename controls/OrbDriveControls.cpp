#include "controls/OrbDriveControls.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <functional>
#include <vector>

#include "desktop/Shell.h"
#include "platform/Drives.h"

namespace {

struct DriveEntry {
    QString text;
    QIcon icon;
};

// One entry per drive letter in the mask, A to Z, none filtered out.
std::vector<DriveEntry> DriveEntries() {
    std::vector<DriveEntry> entries;
    const uint32_t mask = platform::LogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (!(mask & (1u << bit))) continue;
        const QString root = QString(QChar(u'a' + bit)) + QLatin1String(":\\");
        entries.push_back({QString(QChar(u'A' + bit)) + desktop::ShellDisplayName(root),
                           desktop::ShellIcon(root)});
    }
    return entries;
}

QSize SmallIconSize() {
    return desktop::ShellIconSize(desktop::IconSize::Small);
}

int ItemHeightFor(const QFontMetrics& metrics) {
    return std::max(metrics.height(), SmallIconSize().height());
}

// Draws the entries of both controls; with checks, the check box goes left of the entry.
class DriveEntryDelegate : public QStyledItemDelegate {
public:
    DriveEntryDelegate(QWidget* owner, bool checks, std::function<int()> height)
        : QStyledItemDelegate(owner), owner_(owner), checks_(checks), height_(std::move(height)) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QRect rect = option.rect;
        if (checks_) {
            const QRect box = CheckRect(rect);
            painter->fillRect(QRect(rect.left(), rect.top(), box.width() + 4, rect.height()),
                              option.palette.base());
            QStyleOptionViewItem check = option;
            check.rect = box;
            check.state =
                QStyle::State_Enabled |
                (index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On
                                                                       : QStyle::State_Off);
            owner_->style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter,
                                           owner_);
            rect.setLeft(box.right() + 5);
        }
        DrawDriveEntry(*painter, rect, index.data(Qt::DecorationRole).value<QIcon>(),
                       index.data(Qt::DisplayRole).toString(),
                       option.state & QStyle::State_Selected, option.palette, SmallIconSize());
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int textWidth =
            option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString().mid(1));
        const int checkWidth = checks_ ? CheckRect(option.rect).width() + 4 : 0;
        return {checkWidth + SmallIconSize().width() + 6 + textWidth + 4, height_()};
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        if (!checks_ || !(index.flags() & Qt::ItemIsUserCheckable)) return false;
        bool toggle = false;
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            toggle =
                mouse->button() == Qt::LeftButton &&
                CheckRect(option.rect).adjusted(-2, 0, 2, 0).contains(mouse->position().toPoint());
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            return CheckRect(option.rect)
                .contains(static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            toggle = key == Qt::Key_Space || key == Qt::Key_Select;
        }
        if (!toggle) return false;
        const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }

private:
    QRect CheckRect(const QRect& row) const {
        const int w = owner_->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, owner_);
        const int h = owner_->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, owner_);
        return {row.left() + 2, row.top() + (row.height() - h) / 2, w, h};
    }

    QWidget* owner_;
    bool checks_;
    std::function<int()> height_;
};

}  // namespace

void DrawDriveEntry(QPainter& painter, const QRect& rect, const QIcon& icon, const QString& text,
                    bool selected, const QPalette& palette, const QSize& iconSize) {
    painter.fillRect(rect, selected ? palette.highlight() : palette.base());
    // Windows rectangles end one past their last pixel; the centring keeps that arithmetic.
    const int bottom = rect.top() + rect.height();
    const int top = (rect.top() + bottom - iconSize.height()) / 2;
    painter.drawPixmap(QRect(QPoint(rect.left() + 2, top), iconSize), icon.pixmap(iconSize));
    const QRect textRect = rect.adjusted(iconSize.width() + 6, 0, 0, 0);
    painter.setPen(selected ? palette.color(QPalette::HighlightedText)
                            : palette.color(QPalette::Text));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text.mid(1));
}

TOrbDriveComboBox::TOrbDriveComboBox(QWidget* parent)
    : QComboBox(parent),
      iconWidth_(SmallIconSize().width()),
      iconHeight_(SmallIconSize().height()) {
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setIconSize(SmallIconSize());
    setItemDelegate(new DriveEntryDelegate(this, false, [this] { return itemHeight_; }));
    UpdateItemHeight();
    BuildList();
    connect(this, &QComboBox::activated, this, &TOrbDriveComboBox::OnChange);
}

void TOrbDriveComboBox::BuildList() {
    const QChar current = Drive();
    QSignalBlocker quiet(this);
    clear();
    for (const DriveEntry& entry : DriveEntries()) addItem(entry.icon, entry.text);
    for (int i = 0; i < count() && !current.isNull(); ++i) {
        if (itemText(i)[0] == current) setCurrentIndex(i);
    }
    if (current.isNull()) setCurrentIndex(-1);
}

QChar TOrbDriveComboBox::Drive() const {
    return currentIndex() < 0 || currentText().isEmpty() ? QChar() : currentText()[0];
}

void TOrbDriveComboBox::setDrive(QChar letter) {
    const QChar upper = letter.toUpper();
    if (upper == Drive()) return;
    for (int i = 0; i < count(); ++i) {
        if (itemText(i)[0] == upper) {
            setCurrentIndex(i);
            break;
        }
    }
    emit OnChange();
}

void TOrbDriveComboBox::UpdateItemHeight() {
    itemHeight_ = ItemHeightFor(fontMetrics());
}

void TOrbDriveComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateItemHeight();
        BuildList();
    }
}

void TOrbDriveComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0) return;
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    DrawDriveEntry(painter, field, itemIcon(currentIndex()), currentText(), hasFocus(), palette(),
                   {iconWidth_, iconHeight_});
}

TOrbDriveCheckListBox::TOrbDriveCheckListBox(QWidget* parent)
    : QListWidget(parent),
      iconWidth_(SmallIconSize().width()),
      iconHeight_(SmallIconSize().height()) {
    setUniformItemSizes(true);
    setItemDelegate(new DriveEntryDelegate(this, true, [this] { return itemHeight_; }));
    itemHeight_ = ItemHeightFor(fontMetrics());
    BuildList();
}

void TOrbDriveCheckListBox::BuildList() {
    const QString checked = CheckedDrives();
    clear();
    for (const DriveEntry& entry : DriveEntries()) {
        auto* item = new QListWidgetItem(entry.icon, entry.text, this);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked.contains(entry.text[0]) ? Qt::Checked : Qt::Unchecked);
    }
}

QString TOrbDriveCheckListBox::CheckedDrives() const {
    QString letters;
    for (int i = 0; i < count(); ++i) {
        if (Checked(i)) letters += item(i)->text().left(1);
    }
    return letters;
}

bool TOrbDriveCheckListBox::Checked(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry && entry->checkState() == Qt::Checked;
}

void TOrbDriveCheckListBox::setChecked(int index, bool checked) {
    if (QListWidgetItem* entry = item(index))
        entry->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TOrbDriveCheckListBox::setItemHeight(int height) {
    fixedHeight_ = true;
    itemHeight_ = height;
    doItemsLayout();
}

void TOrbDriveCheckListBox::changeEvent(QEvent* event) {
    QListWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        if (!fixedHeight_) itemHeight_ = ItemHeightFor(fontMetrics());
        BuildList();
    }
}
