#include "controls/ItemProp.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/FileOperationDialogs.h"
#include "controls/Helpers.h"
#include "controls/ShBrowse.h"
#include "desktop/MessageBox.h"
#include "desktop/Shell.h"
#include "engine/Scanner.h"
#include "platform/Drives.h"
#include "platform/EntryAccess.h"
#include "platform/FileOperations.h"
#include "platform/FindFile.h"

namespace {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    void Restore() {
        if (active_) QApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

QString Trimmed(QString path) {
    while (path.size() > 3 && path.endsWith(u'\\')) path.chop(1);
    return path;
}

// The entries path stands for: the matches of a wildcard name, or the item itself.
QStringList Gather(const QString& path) {
    const QString item = Trimmed(path);
    if (platform::HasWildcards(item)) return platform::ExpandWildcards(item);
    if (IsDriveRootPath(item))
        return platform::GetFileAttributes(item) != platform::INVALID_FILE_ATTRIBUTES
                   ? QStringList{item.left(2) + u'\\'}
                   : QStringList{};
    return PathExists(item) ? QStringList{item} : QStringList{};
}

QString FolderPart(const QString& path) {
    if (IsDriveRootPath(path)) return {};
    const qsizetype slash = path.lastIndexOf(u'\\');
    return slash == 2 ? path.left(3) : path.left(slash);
}

// Other programs get the items as this computer names them: one host path a line, and their
// file URLs for those that take files.
void CopyLocations(const QStringList& items) {
    QStringList hosts;
    QList<QUrl> urls;
    for (const QString& item : items) {
        hosts << platform::ToHostPath(item);
        urls << desktop::HostFileUrl(hosts.back());
    }
    auto* data = new QMimeData;
    data->setText(hosts.join(u'\n'));
    data->setUrls(urls);
    QGuiApplication::clipboard()->setMimeData(data);
}

// "12.3 MB (12,897,484 bytes)", 1024-based as everywhere in the program.
QString SizeText(int64_t bytes) {
    const QLocale locale;
    const QString exact = locale.toString(static_cast<qlonglong>(bytes)) + QLatin1String(" bytes");
    if (bytes < 1024) return exact;
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    for (; value >= 1024 && unit < 3; ++unit) value /= 1024;
    return QStringLiteral("%1 %2 (%3)")
        .arg(locale.toString(value, 'f', 1), QLatin1String(units[unit]), exact);
}

QString TimeText(platform::FileTime time) {
    if (time == 0) return QStringLiteral("unknown");
    return QLocale().toString(
        QDateTime::fromMSecsSinceEpoch(platform::FileTimeToUnixMilliseconds(time)),
        QLocale::LongFormat);
}

// What the items hold together.
struct Totals {
    int64_t bytes = 0;
    int64_t files = 0;
    int64_t folders = 0;
};

class ItemPropertiesBox : public QDialog {
public:
    ItemPropertiesBox(const QStringList& items, QWidget* owner) : QDialog(owner), items_(items) {
        const QString& first = items.front();
        const bool single = items.size() == 1;
        setWindowTitle(QStringLiteral("%1 Properties")
                           .arg(single ? desktop::ShellDisplayName(first)
                                       : QStringLiteral("%1 items").arg(items.size())));
        auto* form = new QFormLayout;
        auto row = [&](const char* caption, const QString& text) {
            auto* value = new QLabel(text);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            value->setObjectName(QLatin1String(caption));
            form->addRow(QString::fromLatin1(caption) + u':', value);
            return value;
        };
        QStringList types;
        for (const QString& item : items) {
            const QString type = desktop::ShellTypeName(item);
            if (!types.contains(type)) types.append(type);
        }
        row("Name", single ? desktop::ShellDisplayName(first)
                           : QStringLiteral("%1 items").arg(items.size()));
        row("Type", types.size() == 1 ? types.front() : QStringLiteral("Multiple types"));
        row("Location", platform::ToHostPath(FolderPart(first)));
        size_ = row("Size", QStringLiteral("Calculating..."));
        contents_ = row("Contents", QStringLiteral("Calculating..."));
        if (single) {
            platform::FindData data;
            if (!IsDriveRootPath(first) && FindFirstEntry(first, data)) {
                row("Modified", TimeText(data.lastWriteTime));
                row("Accessed", TimeText(data.lastAccessTime));
                row("Created", TimeText(data.creationTime));
                row("Attributes", AttributeText(data.attributes));
            }
            const platform::EntryAccess access = platform::EntryAccessOf(first);
            row("Permissions", access.permissions);
            row("Owner", QStringLiteral("%1 (group %2)").arg(access.owner, access.group));
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(buttons);
        connect(this, &QDialog::finished, this, [this] { alive_ = false; });
        QTimer::singleShot(0, this, [this] { Count(); });
    }

private:
    void Count() {
        Totals totals;
        QElapsedTimer pumped;
        pumped.start();
        for (const QString& item : items_) {
            const uint32_t attributes = platform::GetFileAttributes(item);
            if (attributes & platform::FILE_ATTRIBUTE_DIRECTORY) {
                if (items_.size() > 1) ++totals.folders;
                // Counted as a scan counts; the dialog stays usable and can be closed meanwhile.
                const engine::TFolderContents contents =
                    engine::CountFolderContents(Trimmed(item), [&] {
                        if (pumped.elapsed() > 50) {
                            QCoreApplication::processEvents();
                            pumped.restart();
                        }
                        return alive_;
                    });
                totals.bytes += contents.Bytes;
                totals.files += contents.Files;
                totals.folders += contents.Folders;
            } else {
                ++totals.files;
                platform::FindData data;
                if (FindFirstEntry(item, data)) totals.bytes += data.size;
            }
            if (!alive_) return;
        }
        size_->setText(SizeText(totals.bytes));
        contents_->setText(
            QStringLiteral("%1 %2, %3 %4")
                .arg(totals.files)
                .arg(totals.files == 1 ? QLatin1String("file") : QLatin1String("files"))
                .arg(totals.folders)
                .arg(totals.folders == 1 ? QLatin1String("folder") : QLatin1String("folders")));
    }

    QStringList items_;
    QLabel* size_;
    QLabel* contents_;
    bool alive_ = true;
};

bool ShowProperties(const QStringList& items, QWidget* owner) {
    ItemPropertiesBox box(items, owner);
    desktop::RunModal(box);
    return true;
}

bool Report(QWidget* owner, const QString& text) {
    desktop::ShowMessage(owner, {QCoreApplication::applicationName(), text,
                                 desktop::MessageIcon::Error, desktop::Ok});
    return false;
}

}  // namespace

bool ShowItemProperties(const QString& path, QWidget* owner) {
    WaitCursor wait;
    const QStringList items = Gather(path);
    wait.Restore();
    return !items.isEmpty() && ShowProperties(items, owner);
}

bool ShowItemContextMenu(const QString& path, QWidget* owner, const QPoint& screenPoint) {
    WaitCursor wait;
    const QStringList items = Gather(path);
    if (items.isEmpty()) return false;
    const bool root = items.size() == 1 && IsDriveRootPath(items.front());

    QMenu menu(owner);
    QAction* open = menu.addAction(QStringLiteral("&Open"));
    QAction* containing = menu.addAction(QStringLiteral("Open &Containing Folder"));
    QAction* copy = menu.addAction(QStringLiteral("Copy &Location"));
    menu.addSeparator();
    QAction* trash = menu.addAction(QStringLiteral("Move to &Trash"));
    QAction* remove = menu.addAction(QStringLiteral("&Delete"));
    menu.addSeparator();
    QAction* properties = menu.addAction(QStringLiteral("P&roperties"));
    containing->setEnabled(!root);
    trash->setEnabled(!root);
    remove->setEnabled(!root);
    QAction* chosen = nullptr;
    QObject::connect(&menu, &QMenu::triggered, &menu, [&chosen](QAction* a) { chosen = a; });
    wait.Restore();

    if (!PreparePopup(menu)) return true;
    menu.exec(screenPoint);
    if (!chosen) return true;
    if (chosen == open) {
        for (const QString& item : items) {
            if (ShellOpen(item, {}, {}, 1) <= 32)
                return Report(owner, QStringLiteral("Cannot open \"%1\".").arg(item));
        }
        return true;
    }
    if (chosen == containing) {
        const desktop::ShellOutcome outcome = desktop::OpenFileManager(FolderPart(items.front()));
        return outcome.ok() || Report(owner, outcome.errorText);
    }
    if (chosen == copy) {
        CopyLocations(items);
        return true;
    }
    if (chosen == trash)
        return RecycleItems(owner, items).status != platform::FileOperationStatus::Failed;
    if (chosen == remove)
        return DeleteItems(owner, items).status != platform::FileOperationStatus::Failed;
    if (chosen == properties) return ShowProperties(items, owner);
    return true;
}
