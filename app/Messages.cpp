#include "app/Messages.h"

#include <QCoreApplication>

#include "platform/MessageBox.h"

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
    platform::ShowMessage(nullptr, {caption, text, platform::MessageIcon::Error, platform::Ok});
}

}  // namespace

void ShowInfo(const QString& text) {
    platform::ShowMessage(nullptr,
                          {kAppTitle, text, platform::MessageIcon::Information, platform::Ok});
}

void ShowError(const QString& text, int kind, bool terminate) {
    ShowErrorBox(ErrorCaption(kind, kAppTitle), text);
    if (terminate) QCoreApplication::exit(1);
}

void ShowAppError(const QString& text, int kind) {
    ShowErrorBox(ErrorCaption(kind, QCoreApplication::applicationName()), text);
}
