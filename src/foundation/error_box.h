#pragma once

#include <QString>

// The error box of the program: no owner window, the error icon, and the caption its caller
// hands it (the language's error caption, text 119: the engine knows no language pack). Shown
// through the installed notifier.
void ShowError(const QString& caption, const QString& text);

// The error box with the system's description of the calling thread's last error (errno).
void ShowLastError(const QString& caption);

// The error box with a description the system gave for the last failure where errno does not
// hold it (the dynamic loader's message for a library that would not load).
void ShowLastError(const QString& caption, const QString& systemMessage);
