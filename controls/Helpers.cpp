#include "controls/Helpers.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <limits>
#include <utility>

#include "desktop/MessageBox.h"
#include "desktop/Shell.h"

bool FindFirstEntry(const QString& path, platform::FindData& data) {
    platform::FindHandle find;
    return find.FindFirst(path, data);
}

bool PathExists(const QString& path) {
    platform::FindData data;
    return FindFirstEntry(path, data);
}

bool FolderExists(const QString& path) {
    platform::FindData data;
    return FindFirstEntry(path, data) && (data.attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolderAt(const QString& path) {
    const uint32_t attributes = platform::GetFileAttributes(path);
    return attributes != platform::INVALID_FILE_ATTRIBUTES &&
           (attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

bool IsEntryAt(const QString& path) {
    return platform::GetFileAttributes(path) != platform::INVALID_FILE_ATTRIBUTES;
}

uint32_t FileSizeLow(const QString& path) {
    platform::FindData data;
    return FindFirstEntry(path, data) ? static_cast<uint32_t>(data.size) : 0;
}

int64_t MakeInt64(uint32_t low, uint32_t high) {
    return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

uint32_t Mod64(uint64_t value, uint32_t divisor) {
    return divisor == 0 ? 0 : static_cast<uint32_t>(value % divisor);
}

QString AttributeText(uint32_t attributes) {
    static const std::pair<uint32_t, const char*> names[] = {
        {platform::FILE_ATTRIBUTE_ARCHIVE, "Archive"},
        {platform::FILE_ATTRIBUTE_READONLY, "ReadOnly"},
        {platform::FILE_ATTRIBUTE_HIDDEN, "Hidden"},
        {platform::FILE_ATTRIBUTE_SYSTEM, "System"},
        {platform::FILE_ATTRIBUTE_DIRECTORY, "Directory"},
    };
    QStringList set;
    for (const auto& [bit, name] : names) {
        if (attributes & bit) set.append(QString::fromLatin1(name));
    }
    return set.join(QLatin1String(" + "));
}

int PercentOf(int64_t part, int64_t total) {
    if (total == 0) return 0;
    const double percent =
        std::trunc(static_cast<double>(part) * 100.0 / static_cast<double>(total));
    // A part far beyond its total must not overflow the integer result.
    constexpr double top = std::numeric_limits<int>::max(),
                     bottom = std::numeric_limits<int>::min();
    return static_cast<int>(std::clamp(percent, bottom, top));
}

double AngleOf(int64_t part, int64_t total) {
    if (total == 0) return part == 0 ? 360.0 : 0.0;
    return static_cast<double>(part) * 360.0 / static_cast<double>(total);
}

namespace {

bool SameCursor(const QCursor& a, const QCursor& b) {
    if (a.shape() != b.shape()) return false;
    return a.shape() != Qt::BitmapCursor || a.pixmap().cacheKey() == b.pixmap().cacheKey();
}

PopupDriver& Driver() {
    static PopupDriver driver;
    return driver;
}

}  // namespace

void SetControlCursor(QWidget* control, const QCursor& cursor, bool atOnce) {
    if (!control ||
        (control->testAttribute(Qt::WA_SetCursor) && SameCursor(control->cursor(), cursor)))
        return;
    control->setCursor(cursor);
    if (atOnce) {
        // The window's cursor otherwise follows with the next pass of the event loop.
        if (QWindow* window = control->window()->windowHandle();
            window && control->rect().contains(control->mapFromGlobal(QCursor::pos())))
            window->setCursor(cursor);
    }
}

int ShellOpen(const QString& file, const QString& parameters, const QString& directory,
              int showCommand) {
    using desktop::ShellError;
    // A program starts with the parameters; documents, folders and addresses go to their
    // default handler, which takes none.
    const desktop::ShellOutcome outcome =
        desktop::ShellOpen(file, QProcess::splitCommand(parameters), directory,
                           static_cast<desktop::ShowMode>(showCommand));
    switch (outcome.error) {
        case ShellError::None:
            return 42;
        case ShellError::FileNotFound:
            return 2;
        case ShellError::PathNotFound:
            return 3;
        case ShellError::AccessDenied:
            return 5;
        case ShellError::NoAssociation:
            return 31;
        case ShellError::Other:
            break;
    }
    return 0;
}

PopupDriver SetPopupDriver(PopupDriver driver) {
    return std::exchange(Driver(), std::move(driver));
}

bool PreparePopup(QWidget& popup) {
    if (Driver()) {
        QTimer::singleShot(0, &popup, [&popup] {
            if (Driver()) Driver()(popup);
        });
        return true;
    }
    return !desktop::IsOffscreen();
}

void SetHint(QAction* action, const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

void SetHint(QWidget* widget, const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    widget->setToolTip(bar < 0 ? hint : hint.left(bar));
    widget->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

void SetHelpContext(QObject* object, int topic, const QString& anchor) {
    object->setProperty("helpContext", topic);
    object->setProperty("helpAnchor", anchor);
}

int HelpContextOf(const QObject* object) {
    return object->property("helpContext").toInt();
}

QString HelpAnchorOf(const QObject* object) {
    return object->property("helpAnchor").toString();
}
