#pragma once
// Small helpers the windows share: existence and size of paths (through the platform's find),
// 64-bit arithmetic, attribute names, percentages and pie angles, cursors, opening with the shell,
// and how the controls' own modal popups behave without a screen.

#include <QCursor>
#include <QString>
#include <cstdint>
#include <functional>

#include "platform/FindFile.h"

class QAction;
class QObject;
class QWidget;

// The help topic of a window, page or menu (0: none), and the place in the topic's page it
// opens at (an anchor; empty for the top). F1 opens the topic of what is in front.
void SetHelpContext(QObject* object, int topic, const QString& anchor = {});
int HelpContextOf(const QObject* object);
QString HelpAnchorOf(const QObject* object);

// Hints are "short|long": the short text is the tool tip, the long one the status-bar text. A
// hint without "|" is both.
void SetHint(QAction* action, const QString& hint);
void SetHint(QWidget* widget, const QString& hint);

// True when a find-first search on the path finds an entry (file or folder; wildcards allowed).
bool PathExists(const QString& path);
// The same, and fills data with the first entry found.
bool FindFirstEntry(const QString& path, platform::FindData& data);
// True when the first entry a find-first search finds is a folder.
bool FolderExists(const QString& path);
// The same for a path taken literally ('*' and '?' being characters of its names), as the paths
// of folders in the tree are: a folder "*star?" is not a file "f-*star?" beside it.
bool IsFolderAt(const QString& path);
bool IsEntryAt(const QString& path);
// The low 32 bits of the size of the first entry found; 0 when none is found.
uint32_t FileSizeLow(const QString& path);

int64_t MakeInt64(uint32_t low, uint32_t high);
// value modulo divisor; 0 for a divisor of 0 (where the division would fault).
uint32_t Mod64(uint64_t value, uint32_t divisor);

// "Archive + ReadOnly + Hidden + System + Directory" for the bits set, in that order; empty when
// none of these five is set.
QString AttributeText(uint32_t attributes);

// part * 100 / total truncated toward zero; 0 for a total of 0. Kept within the range of int.
int PercentOf(int64_t part, int64_t total);
// The degrees of part in total; 360 for 0 of 0, 0 for anything else of 0.
double AngleOf(int64_t part, int64_t total);

// Gives control the cursor unless it has it already; atOnce: the pointer changes shape now,
// before the next event is handled (for work that follows without returning to the loop).
void SetControlCursor(QWidget* control, const QCursor& cursor, bool atOnce);

// Asks the shell to open file (a document, folder, program or address) with the parameters in
// directory; the show command is a Windows show number (1 normal, 4 without activating). Result
// above 32: success; otherwise 2 file not found, 3 path not found, 5 access denied, 31 no
// program for it, 0 anything else.
int ShellOpen(const QString& file, const QString& parameters, const QString& directory,
              int showCommand);

// The controls' pop-up menus are shown only where someone can answer them: without a screen
// (the offscreen platform) they answer "nothing chosen" at once, unless a driver is installed
// (tests), which is then handed each menu as soon as it is up. Dialogs go through
// desktop::RunModal, which keeps the same rule.
using PopupDriver = std::function<void(QWidget& popup)>;
PopupDriver SetPopupDriver(PopupDriver driver);
// False when the menu must not be shown; otherwise arranges for the driver to see it.
bool PreparePopup(QWidget& popup);
