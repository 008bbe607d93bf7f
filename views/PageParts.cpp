#include "views/PageParts.h"

#include "desktop/Shell.h"
#include "engine/Ncdu.h"
#include "engine/TextForms.h"

TPathLabel::TPathLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setMinimumWidth(1);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

void TPathLabel::SetPath(const QString& path) {
    path_ = path;
    setToolTip(path);
    Shorten();
}

void TPathLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Shorten();
}

void TPathLabel::Shorten() {
    const QFontMetrics metrics(font());
    setText(engine::ShortenedPath(path_, contentsRect().width(), [&metrics](const QString& text) {
        return metrics.horizontalAdvance(text);
    }));
}

std::array<int, 2> ShellIconIndexesOf(const QString& path) {
    desktop::ShellIconList& icons = desktop::ShellIconList::Instance();
    if (engine::ImportFactsOf(path) && !engine::IsDriveRoot(path))
        return {icons.FolderIndex(false), icons.FolderIndex(true)};
    return icons.IndexesOf(path);
}

int ShellIconIndexOf(const QString& path, bool open) {
    return ShellIconIndexesOf(path)[open ? 1 : 0];
}

TShellNames ShellNamesOf(const QString& path) {
    const bool root = engine::IsDriveRoot(path);
    const QString type = root ? QStringLiteral("Root Folder of Drive") : QStringLiteral("Folder");
    if (engine::ImportFactsOf(path))
        return {root ? engine::ImportedDriveName(path) : desktop::ShellDisplayName(path), type};
    return {desktop::ShellDisplayName(path), root ? type : desktop::ShellTypeName(path)};
}
