#pragma once

#include <QDialog>
#include <QPointer>

class CLanguagePack;
class ConsoleLog;
class QPlainTextEdit;
class QPushButton;

// The console window: the program's log in a read-only box with a fixed-pitch font. It is
// modeless and goes away when closed. The log is read anew each time the window is shown or
// brought to the front, never while it merely stays open.
class CDlgConsole : public QDialog
{
    Q_OBJECT

public:
    CDlgConsole(CLanguagePack& language, const ConsoleLog& log, QWidget* owner);
    ~CDlgConsole() override;

    // The "Console window" command: opens a window without owner, so that it can go behind the
    // main window, or brings the open one to the front with the log read again. window keeps
    // track of it between calls; its holder deletes what is left of it.
    static CDlgConsole* ShowOrRaise(QPointer<CDlgConsole>& window, CLanguagePack& language);

    // Puts every line of the log into the box, each followed by a line break.
    void ReadLog();

protected:
    void showEvent(QShowEvent* event) override;

private:
    const ConsoleLog& log;
    QPlainTextEdit* text = nullptr;
    QPushButton* closeButton = nullptr;
};
