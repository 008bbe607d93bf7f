#include "app/Messages.h"

#include <QCoreApplication>

#include "desktop/MessageBox.h"

namespace {

QString ErrorCaption(int kind, const QString& title) {
    switch (kind) {
        case 0:
            return QStringLiteral("Fatal error");
        case 1:
            return QStringLiteral("Initialization error");
        default:
            return title;
    }
}

void ShowErrorBox(const QString& caption, const QString& text) {
    desktop::ShowMessage(nullptr, {caption, text, desktop::MessageIcon::Error, desktop::Ok});
}

}  // namespace

void ShowInfo(const QString& text) {
    desktop::ShowMessage(nullptr,
                         {kAppTitle, text, desktop::MessageIcon::Information, desktop::Ok});
}

void ShowError(const QString& text, int kind, bool terminate) {
    ShowErrorBox(ErrorCaption(kind, kAppTitle), text);
    if (terminate) QCoreApplication::exit(1);
}

void ShowAppError(const QString& text, int kind) {
    ShowErrorBox(ErrorCaption(kind, QCoreApplication::applicationName()), text);
}
