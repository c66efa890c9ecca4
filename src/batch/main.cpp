// orvel-batch: the converter without a display, for scripts and servers.

#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "foundation/instance_session.h"
#include "foundation/os.h"
#include "pictures/image_picture_shrinker.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    // First, while the process has one thread: the watchdog that takes our encoders down with
    // us (Ctrl+C included) is forked from here.
    BeginInstanceSession();
    QCoreApplication application(argc, argv);
    os::UseUtf8CharacterSet();
    // Ctrl+C, a kill or a closed terminal stop the run as Stop does in the window: programs
    // ended, hidden results and WAVs removed, the summary printed.
    os::CatchStopSignals();
    InstallImagePictureShrinker();
    QTextStream out(stdout);
    QTextStream err(stderr);

    CBatchOptions options;
    QString error;
    if (!ParseBatchArguments(QCoreApplication::arguments().mid(1), options, error)) {
        err << "orvel-batch: " << error << "\nTry 'orvel-batch --help'.\n";
        return CBatchRun::kBadArguments;
    }
    if (options.help || options.version) {
        out << (options.help ? BatchUsage() : BatchVersion());
        return CBatchRun::kAllConverted;
    }
    if (options.programFolder.isEmpty())
        options.programFolder = QCoreApplication::applicationDirPath();
    // Never deleted: the process ends with the run, and freeing the records of a library's
    // files one by one would cost a tenth of a sync that has nothing to do.
    static CBatchRun* const run = new CBatchRun(out, err);
    const int status = run->Run(options);
    run->Close();
    EndInstanceSession();
    return status;
}
