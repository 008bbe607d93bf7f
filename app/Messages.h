#pragma once
// The message boxes every part of the program uses, and the program's shared texts.

#include <QString>

class QWidget;

inline const QString kAppTitle = QStringLiteral("Quillon Pro");

// Information icon, OK button, caption "Quillon Pro".
void ShowInfo(const QString& text);

// Error icon, OK button. The caption is "Fatal error" (kind 0), "Initialization error"
// (kind 1) or "Quillon Pro" (kind 2). With terminate the application is told to end
// once the box is closed.
void ShowError(const QString& text, int kind, bool terminate);

// The same box without the terminate step; kind 2 takes the application's title as caption.
void ShowAppError(const QString& text, int kind);
