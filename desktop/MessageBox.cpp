#include "desktop/MessageBox.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTextStream>
#include <utility>

namespace desktop {

namespace {

MessageAnswerer& Answerer() {
    static MessageAnswerer answerer;
    return answerer;
}

DialogRunner& Runner() {
    static DialogRunner runner;
    return runner;
}

constexpr std::pair<MessageButton, QMessageBox::StandardButton> kButtons[] = {
    {Ok, QMessageBox::Ok},         {Cancel, QMessageBox::Cancel}, {Yes, QMessageBox::Yes},
    {No, QMessageBox::No},         {Retry, QMessageBox::Retry},   {Abort, QMessageBox::Abort},
    {Ignore, QMessageBox::Ignore},
};

MessageButton DefaultOf(const MessageRequest& r) {
    if (r.defaultButton != NoButton && (r.buttons & r.defaultButton)) return r.defaultButton;
    for (const auto& [ours, qt] : kButtons) {
        if (r.buttons & ours) return ours;
    }
    return Ok;
}

MessageButton EscapeOf(const MessageRequest& r) {
    if (r.buttons & Cancel) return Cancel;
    if (r.buttons & No) return No;
    return DefaultOf(r);
}

MessageButton AnswerOffscreen(const MessageRequest& r) {
    MessageButton answer = DefaultOf(r);
    if (answer == Retry) answer = EscapeOf(r);
    QTextStream err(stderr);
    err << r.caption << ": " << r.text << '\n';
    return answer;
}

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

bool IsOffscreen() {
    return QGuiApplication::platformName() == QLatin1String("offscreen") ||
           QGuiApplication::platformName() == QLatin1String("minimal");
}

MessageAnswerer SetMessageAnswerer(MessageAnswerer answerer) {
    return std::exchange(Answerer(), std::move(answerer));
}

MessageButton ShowMessage(QWidget* owner, const MessageRequest& request) {
    if (Answerer()) return Answerer()(request);
    if (IsOffscreen()) return AnswerOffscreen(request);

    QMessageBox box(IconOf(request.icon), request.caption, request.text, QMessageBox::NoButton,
                    owner ? owner : QApplication::activeWindow());
    for (const auto& [ours, qt] : kButtons) {
        if (request.buttons & ours) box.addButton(qt);
    }
    for (const auto& [ours, qt] : kButtons) {
        if (ours == DefaultOf(request)) box.setDefaultButton(qt);
        if (ours == EscapeOf(request)) box.setEscapeButton(box.button(qt));
    }
    const int pressed = box.exec();
    for (const auto& [ours, qt] : kButtons) {
        if (pressed == qt) return ours;
    }
    return EscapeOf(request);
}

DialogRunner SetDialogRunner(DialogRunner runner) {
    return std::exchange(Runner(), std::move(runner));
}

int RunModal(QDialog& dialog) {
    if (Runner()) return Runner()(dialog);
    if (IsOffscreen()) {
        QTextStream(stderr) << dialog.windowTitle() << ": not shown without a display\n";
        return QDialog::Rejected;
    }
    return dialog.exec();
}

}  // namespace desktop
