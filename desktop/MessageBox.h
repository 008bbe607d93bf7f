#pragma once
// Every message box of the program goes through ShowMessage, so that a run without a display
// never waits for a person and tests can answer boxes themselves and read what was asked.

#include <QString>
#include <functional>

class QDialog;
class QWidget;

namespace desktop {

enum class MessageIcon { None, Information, Warning, Error, Question };

enum MessageButton : unsigned {
    NoButton = 0,
    Ok = 0x01,
    Cancel = 0x02,
    Yes = 0x04,
    No = 0x08,
    Retry = 0x10,
    Abort = 0x20,
    Ignore = 0x40,
};
using MessageButtons = unsigned;

struct MessageRequest {
    QString caption;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = Ok;
    // The button Enter presses; NoButton means the first of the buttons in the order above.
    MessageButton defaultButton = NoButton;
};

using MessageAnswerer = std::function<MessageButton(const MessageRequest&)>;

// Shows a modal box over owner (or the active window) and returns the button pressed; Escape
// or closing the box answers Cancel or No when the box has one. On the offscreen platform the
// box is written to standard error with its caption and answered with its default button,
// except that Retry is answered with Cancel (nobody is there to mend the cause).
MessageButton ShowMessage(QWidget* owner, const MessageRequest& request);

// Replaces the answerer (tests); an empty function restores the real boxes. Returns the old one.
MessageAnswerer SetMessageAnswerer(MessageAnswerer answerer);

// Runs a modal dialog and returns its result. On the offscreen platform the dialog is not
// shown: its title goes to standard error and the answer is Rejected, so nothing waits for a
// person. Tests may install a runner that drives the dialog instead.
int RunModal(QDialog& dialog);
using DialogRunner = std::function<int(QDialog&)>;
DialogRunner SetDialogRunner(DialogRunner runner);

// True when the program runs without a screen a person can see (Qt's offscreen platform).
bool IsOffscreen();

}  // namespace desktop
