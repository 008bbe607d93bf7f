#include "controls/FilCtl95.h"

#include <QDir>
#include <QEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/Drives.h"
#include "platform/FindFile.h"

static void InitGlyphResources() {
    Q_INIT_RESOURCE(controls);
}

QPixmap Glyph95(const char* resourceName) {
    static const bool registered = (InitGlyphResources(), true);
    Q_UNUSED(registered);
    return QPixmap(QStringLiteral(":/glyphs/%1.png").arg(QLatin1String(resourceName)));
}

namespace {

const char* DriveGlyphName(platform::DriveType type) {
    switch (type) {
        case platform::DriveType::Removable:
            return "FLOPPY_95";
        case platform::DriveType::Fixed:
            return "FIXED_95";
        case platform::DriveType::Remote:
            return "NETWORK_95";
        case platform::DriveType::CdRom:
            return "CDROM_95";
        case platform::DriveType::RamDisk:
            return "RAM_95";
        default:
            return nullptr;
    }
}

QString RootOf(QChar letter) {
    return QString(letter.toUpper()) + QLatin1String(":\\");
}

// The text of a drive's entry in the drive list, empty for a drive the list leaves out.
QString DriveEntryText(const platform::DriveMapping& drive, TTextCase textCase) {
    const QChar letter = QChar(drive.letter).toLower();
    QString text;
    switch (drive.type) {
        case platform::DriveType::Removable:
            text = QString(letter) + u':';
            break;
        case platform::DriveType::Fixed:
        case platform::DriveType::CdRom:
        case platform::DriveType::RamDisk: {
            platform::VolumeInformation volume;
            platform::GetVolumeInformation(RootOf(letter), volume);
            text = QString(letter) + QLatin1String(": [") + volume.volumeName.toLower() + u']';
            break;
        }
        case platform::DriveType::Remote:
            text = QString(letter) + QLatin1String(": ") + drive.device;
            break;
        default:
            return {};
    }
    return textCase == tcUpperCase ? text.toUpper() : text;
}

// Draws a folder-list row indented by its level.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kIndent = 10;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted = option;
        shifted.rect.adjust(index.data(TDirectory95ListBox::LevelRole).toInt() * kIndent, 0, 0, 0);
        QStyledItemDelegate::paint(painter, shifted, index);
    }
};

}  // namespace

TDrive95ComboBox::TDrive95ComboBox(QWidget* parent) : QComboBox(parent) {
    setIconSize(Glyph95("FIXED_95").size());
    BuildList();
    const QString here = platform::FromHostPath(QDir::currentPath());
    if (!here.isEmpty()) setDrive(here[0]);
    connect(this, &QComboBox::activated, this, &TDrive95ComboBox::Chosen);
}

void TDrive95ComboBox::BuildList() {
    const QChar current = Drive().toUpper();
    QSignalBlocker quiet(this);
    clear();
    for (const platform::DriveMapping& drive : platform::DriveMap()) {
        const QString text = DriveEntryText(drive, textCase_);
        if (text.isEmpty()) continue;
        addItem(QIcon(Glyph95(DriveGlyphName(drive.type))), text);
    }
    const int again = findText(QString(current), Qt::MatchStartsWith);
    setCurrentIndex(current.isNull() || again < 0 ? (count() > 0 ? 0 : -1) : again);
    UpdateItemHeight();
}

QChar TDrive95ComboBox::Drive() const {
    const QString text = currentText();
    return text.isEmpty() ? QChar() : text[0];
}

void TDrive95ComboBox::setDrive(QChar letter) {
    for (int i = 0; i < count(); ++i) {
        if (itemText(i)[0].toUpper() != letter.toUpper()) continue;
        if (i == currentIndex()) return;
        setCurrentIndex(i);
        Chosen();
        return;
    }
}

void TDrive95ComboBox::setTextCase(TTextCase textCase) {
    if (textCase == textCase_) return;
    textCase_ = textCase;
    BuildList();
}

void TDrive95ComboBox::Chosen() {
    if (dirList_) dirList_->setDrive(Drive());
    emit OnChange();
}

void TDrive95ComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange) UpdateItemHeight();
}

void TDrive95ComboBox::UpdateItemHeight() {
    itemHeight_ = std::max(fontMetrics().height(), iconSize().height());
    for (int i = 0; i < count(); ++i) setItemData(i, QSize(0, itemHeight_), Qt::SizeHintRole);
}

TDirectory95ListBox::TDirectory95ListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentDelegate(this));
    setIconSize(Glyph95("CLOSEDFOLDER_95").size());
    connect(this, &QListWidget::itemActivated, this, &TDirectory95ListBox::Open);
    QString here = platform::FromHostPath(QDir::currentPath());
    if (here.isEmpty() && !platform::DriveMap().empty())
        here = RootOf(platform::DriveMap().front().letter);
    if (!here.isEmpty()) setDirectory(here);
}

bool TDirectory95ListBox::setDirectory(const QString& path) {
    QString folder = path;
    if (folder.size() >= 2 && folder[1] == u':') folder[0] = folder[0].toUpper();
    while (folder.size() > 3 && folder.endsWith(u'\\')) folder.chop(1);
    if (folder.size() == 2) folder += u'\\';
    const uint32_t attributes = platform::GetFileAttributes(folder);
    if (attributes == platform::INVALID_FILE_ATTRIBUTES ||
        !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY))
        return false;

    // Hidden and system folders stay out, as a find for folders alone leaves them out.
    QStringList subfolders;
    platform::FindHandle find;
    platform::FindData data;
    const QString prefix = folder.endsWith(u'\\') ? folder : folder + u'\\';
    for (bool more = find.FindFirst(prefix + QLatin1String("*.*"), data); more;
         more = find.FindNext(data)) {
        if ((data.attributes & platform::FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.attributes &
              (platform::FILE_ATTRIBUTE_HIDDEN | platform::FILE_ATTRIBUTE_SYSTEM)))
            subfolders.append(data.name);
    }
    std::sort(subfolders.begin(), subfolders.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });

    clear();
    const QStringList names = folder.mid(3).split(u'\\', Qt::SkipEmptyParts);
    auto add = [this](const QString& text, const QString& itemPath, int level, const char* glyph) {
        auto* item = new QListWidgetItem(QIcon(Glyph95(glyph)), text, this);
        item->setData(PathRole, itemPath);
        item->setData(LevelRole, level);
        item->setData(GlyphRole, QString::fromLatin1(glyph));
    };
    QString itemPath = folder.left(3);
    add(itemPath, itemPath, 0, names.isEmpty() ? "CURRENTFOLDER_95" : "OPENFOLDER_95");
    for (qsizetype i = 0; i < names.size(); ++i) {
        itemPath = i == 0 ? itemPath + names[i] : itemPath + u'\\' + names[i];
        add(names[i], itemPath, static_cast<int>(i + 1),
            i + 1 == names.size() ? "CURRENTFOLDER_95" : "OPENFOLDER_95");
    }
    const int level = static_cast<int>(names.size()) + 1;
    for (const QString& name : subfolders) add(name, prefix + name, level, "CLOSEDFOLDER_95");
    setCurrentRow(static_cast<int>(names.size()));

    directory_ = folder;
    lastFolder_.insert(folder[0], folder);
    return true;
}

platform::ChangeDirectoryResult TDirectory95ListBox::setDrive(QChar letter) {
    const QChar upper = letter.toUpper();
    if (!platform::FindDrive(upper)) return platform::ChangeDirectoryResult::OtherError;
    if (upper == Drive()) return platform::ChangeDirectoryResult::Ok;
    // A folder of the drive that has gone since falls back to the drive's root.
    if (setDirectory(lastFolder_.value(upper, RootOf(upper))) || setDirectory(RootOf(upper))) {
        emit OnChange();
        return platform::ChangeDirectoryResult::Ok;
    }
    return platform::ChangeDirectoryResult::IoError;
}

void TDirectory95ListBox::Open(QListWidgetItem* item) {
    const QString path = item->data(PathRole).toString();
    if (path != directory_ && setDirectory(path)) emit OnChange();
}
