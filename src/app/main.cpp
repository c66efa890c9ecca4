#include "foundation/instance_session.h"
#include "foundation/notifier.h"
#include "foundation/os.h"
#include "pictures/image_picture_shrinker.h"
#include "ui/app_icon.h"
#include "ui/application_run.h"
#include "ui/message_box_notifier.h"

#include <QApplication>

// The program takes no arguments; its files are found in the current directory.
int main(int argc, char** argv)
{
    // First, while the process has one thread: the watchdog is forked from here.
    BeginInstanceSession();

    QApplication app(argc, argv);
    os::UseUtf8CharacterSet();
    // A logout's SIGHUP or a SIGTERM stops a run and saves, as a close does (RunApplication).
    os::CatchStopSignals();
    QApplication::setWindowIcon(ApplicationIcon());
    // The main window ends the program itself, after it has saved its state.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallNotifier(std::make_shared<CMessageBoxNotifier>());
    InstallImagePictureShrinker();

    const int result = RunApplication();
    EndInstanceSession();
    return result;
}
