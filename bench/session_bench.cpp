// Drives the conversion session from the command line for bench/session.sh, with no window:
//
//   orvel_session_bench tiny SOURCE_FOLDER OUTPUT_FOLDER THREADS ROUNDS
//       every WAV of SOURCE_FOLDER copied by /bin/cp as a coder (a tiny job: a program started,
//       its result checked) through the session and queued on the core directly, alternating
//       ROUNDS times; prints the best time of each and their ratio.
//   orvel_session_bench start SOURCE_FOLDER OUTPUT_FOLDER ROUNDS
//       the list planned, sorted, ordered and queued until the core runs, through the session
//       and through the steps orvel-batch took before the session (the same calls, in line);
//       prints the best time of each and their ratio.
#include "planning/file_info.h"
#include "planning/job_order.h"
#include "planning/job_planning.h"
#include "planning/output_tree.h"
#include "planning/planned_jobs.h"
#include "processor_time.h"
#include "run/core.h"
#include "session/conversion_session.h"
#include "settings/settings_set.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Files = std::vector<std::unique_ptr<CFileInfo>>;

// The list's records as the file list holds them; WAVs need no decoder.
Files ListOf(const QString& folder)
{
    Files files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({u"*.wav"_s}, QDir::Files, QDir::Name)) {
        auto file = std::make_unique<CFileInfo>();
        file->path = dir.absoluteFilePath(name);
        file->fileName = name;
        file->folder = dir.absolutePath() + u'/';
        file->fileType = kSourceWav;
        file->format = u"PCM"_s;
        file->duration = 50;
        file->size = QFileInfo(file->path).size();
        files.push_back(std::move(file));
    }
    return files;
}

QList<CFileInfo*> Pointers(const Files& files)
{
    QList<CFileInfo*> list;
    for (const auto& file : files)
        list << file.get();
    return list;
}

void EmptyFolder(const QString& folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

class CBench
{
public:
    CBench(const QString& sources, const QString& output)
        : files(ListOf(sources)), outputFolder(QDir(output).absolutePath() + u'/')
    {
        copy.SetExecutable(u"/bin/cp"_s);
        copy.GetEntries().append({u"%in% %out%"_s, u"wav"_s, u"copy"_s});
        settings.general.directInput = 0;
        overrides.outputFolder = outputFolder;
        overrides.keepFolders = false;
        overrides.overwrite = true;
        overrides.showPrograms = false;
        overrides.longFilesFirst = false;
    }

    int Count() const { return int(files.size()); }

    // Planned beforehand: the run alone is measured, from its start to its last file's end.
    qint64 TinyThroughSession(int threads)
    {
        EmptyFolder(outputFolder);
        CCore core;
        CConversionSession session(settings, QString(), decoders, core);
        overrides.threads = threads;
        session.SetOverrides(overrides);
        session.SetSources(Pointers(files));
        session.Plan({}, &copy, 0, false);
        QEventLoop loop;
        SessionCounts counts;
        QObject::connect(&session, &CConversionSession::RunEnded, &loop,
                         [&](const SessionCounts& ended) {
                             counts = ended;
                             loop.quit();
                         });
        QElapsedTimer timer;
        timer.start();
        session.Sort();
        if (session.Start(true))
            loop.exec();
        const qint64 ns = timer.nsecsElapsed();
        return counts.converted == Count() ? ns : -1;
    }

    qint64 TinyOnCore(int threads)
    {
        EmptyFolder(outputFolder);
        CCore core;
        core.SetThreadsCount(threads);
        core.SetResultOptions({true, true, ReplayGainMode::Off});
        const QList<CFileInfo*> list = Pointers(files);
        for (CFileInfo* file : list) {
            PlanFile(*file, decoders, &copy, 0, outputFolder, false);
            file->coder->SetShowWindow(false);
        }
        // Waits as a front end does, in its event loop, told by the core when the run ends.
        QEventLoop loop;
        core.SetRunEndedCallback(
            [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
        QElapsedTimer timer;
        timer.start();
        QueueFiles(core, list);
        core.Start();
        loop.exec();
        const qint64 ns = timer.nsecsElapsed();
        core.SetRunEndedCallback({});
        core.WaitForWorkers(std::numeric_limits<int>::max());
        return core.GetFailedRuns().isEmpty() ? ns : -1;
    }

    qint64 StartThroughSession()
    {
        CCore core;
        CConversionSession session(settings, QString(), decoders, core);
        session.SetOverrides(overrides);
        QEventLoop loop;
        QObject::connect(&session, &CConversionSession::RunEnded, &loop, [&] { loop.quit(); });
        QElapsedTimer timer;
        timer.start();
        session.SetSources(Pointers(files));
        session.Plan({}, &copy, 0, false);
        session.Sort();
        const bool started = session.Start(true);
        const qint64 ns = timer.nsecsElapsed();
        session.Stop();
        if (started)
            loop.exec();
        return started ? ns : -1;
    }

    // What orvel-batch did before the session, step by step.
    qint64 StartAsBefore()
    {
        CCore core;
        QElapsedTimer timer;
        timer.start();
        const QList<CFileInfo*> list = Pointers(files);
        ChooseTempFolder(QList<const CFileInfo*>(list.cbegin(), list.cend()),
                         settings.core.threadsCount);
        QList<CFileInfo*> planned;
        for (CFileInfo* file : list) {
            if (PlanFile(*file, decoders, &copy, 0, outputFolder, false, false, {}))
                planned << file;
        }
        QList<PlannedJob> jobs;
        for (const CFileInfo* file : std::as_const(planned))
            jobs << JobOf(*file);
        const StartSorting sorting = SortJobsForStart(jobs, {}, false);
        const QSet<qsizetype> notRun = sorting.NotRun(true);
        QList<CFileInfo*> runnable;
        for (qsizetype i = 0; i < planned.size(); ++i) {
            if (!notRun.contains(i))
                runnable << planned[i];
        }
        const QList<CFileInfo*> ordered = OrderForStart(runnable, false);
        CreateOutputFolders(ordered);
        for (CFileInfo* file : ordered)
            file->coder->SetShowWindow(false);
        core.SetThreadsCount(settings.core.threadsCount);
        core.SetResultOptions({true, true, ReplayGainMode::Off});
        QueueFiles(core, ordered);
        core.Start();
        const qint64 ns = core.IsRunning() || core.GetTotalCount() > 0 ? timer.nsecsElapsed() : -1;
        core.Stop();
        core.WaitForWorkers(std::numeric_limits<int>::max());
        return ns;
    }

private:
    Files files;
    QString outputFolder;
    CSettingsSet settings;
    DecoderList decoders;
    CCoder copy;
    SessionOverrides overrides;
};

struct Figure
{
    double wall = 0.0; // seconds
    double processor = 0.0;
};

bool Measure(const std::function<qint64()>& run, Figure& figure)
{
    const double before = ProcessorSeconds();
    const qint64 ns = run();
    figure = {double(ns) / 1e9, ProcessorSeconds() - before};
    return ns >= 0;
}

// Alternates the two, so that a machine that gets busier weighs on both alike.
int Compare(int rounds, const char* firstName, const std::function<qint64()>& first,
            const char* secondName, const std::function<qint64()>& second)
{
    Figure bestFirst{1e30, 1e30};
    Figure bestSecond = bestFirst;
    for (int round = 0; round < rounds; ++round) {
        Figure a;
        Figure b;
        // Which goes first alternates too.
        const bool firstFirst = round % 2 == 0;
        if (!(firstFirst ? Measure(first, a) && Measure(second, b)
                         : Measure(second, b) && Measure(first, a))) {
            std::fprintf(stderr, "a run did not complete\n");
            return 1;
        }
        std::printf("round %d: %s %.3f s (processor %.3f s), %s %.3f s (processor %.3f s)\n",
                    round + 1, firstName, a.wall, a.processor, secondName, b.wall, b.processor);
        bestFirst = {std::min(bestFirst.wall, a.wall), std::min(bestFirst.processor, a.processor)};
        bestSecond = {std::min(bestSecond.wall, b.wall),
                      std::min(bestSecond.processor, b.processor)};
    }
    std::printf("best: %s %.3f s, %s %.3f s, ratio %.3f; processor time ratio %.3f\n", firstName,
                bestFirst.wall, secondName, bestSecond.wall, bestFirst.wall / bestSecond.wall,
                bestFirst.processor / bestSecond.processor);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() >= 6 && arguments[1] == u"tiny"_s) {
        CBench bench(arguments[2], arguments[3]);
        const int threads = arguments[4].toInt();
        std::printf("%d tiny jobs on %d slots\n", bench.Count(), threads);
        return Compare(
            arguments[5].toInt(), "session", [&] { return bench.TinyThroughSession(threads); },
            "core", [&] { return bench.TinyOnCore(threads); });
    }
    if (arguments.size() >= 5 && arguments[1] == u"start"_s) {
        CBench bench(arguments[2], arguments[3]);
        std::printf("%d files until the core runs\n", bench.Count());
        return Compare(
            arguments[4].toInt(), "session", [&] { return bench.StartThroughSession(); }, "before",
            [&] { return bench.StartAsBefore(); });
    }
    std::fprintf(stderr, "usage: orvel_session_bench tiny SOURCES OUTPUT THREADS ROUNDS\n"
                         "       orvel_session_bench start SOURCES OUTPUT ROUNDS\n");
    return 2;
}
