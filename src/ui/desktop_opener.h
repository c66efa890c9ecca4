#pragma once

#include <QUrl>

class CLanguagePack;
class QWidget;

// Opens a file, a folder or an address with the desktop's program for it. xdg-open, when there
// is one, runs as a child whose exit status is waited for without blocking: it fails (3: no
// program for the type, 4: the program failed) after Qt's own opener has already answered
// success. When nothing opens the target, an error box over owner names it, so that it can be
// opened by hand; once owner is gone, nothing is shown.
void OpenWithDesktop(const CLanguagePack& language, const QUrl& url, QWidget* owner);

// How many xdg-open runs have not ended yet.
int RunningDesktopOpeners();
