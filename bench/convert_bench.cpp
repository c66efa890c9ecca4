// Drives the engine from the command line for bench/convert.sh, with no window:
//
//   orvel_convert_bench convert THREADS OUTPUT_FOLDER FLAC_TEMPLATE LAME_TEMPLATE FILE...
//       plans every FLAC file (decode to a temporary WAV, then encode to MP3 into the output
//       folder) and runs them all on THREADS slots; exits 1 when any run failed.
//   orvel_convert_bench results THREADS ROUNDS OUTPUT_FOLDER FLAC_TEMPLATE LAME_TEMPLATE FILE...
//       the same batch with tag copy and hidden outputs off and on, alternating ROUNDS times
//       into OUTPUT_FOLDER/off and OUTPUT_FOLDER/on; prints each time, the best of each and
//       their ratio.
//   orvel_convert_bench check THREADS ROUNDS OUTPUT_FOLDER FLAC_TEMPLATE LAME_TEMPLATE FILE...
//       the same batch with tags and hidden outputs on, and the result check off and on,
//       alternating; prints each time, the best of each and their ratio.
//   orvel_convert_bench replaygain THREADS ROUNDS OUTPUT_FOLDER FLAC_TEMPLATE LAME_TEMPLATE FILE...
//       as results, with tags and hidden outputs on both times and ReplayGain track and album
//       values off and on.
//   orvel_convert_bench checkcost FILE...
//       prints what reading each file's stream duration back and checking it takes, in
//       milliseconds per file, as the core does once for a run's input and once for its result.
//   orvel_convert_bench overhead JOBS THREADS
//       prints the time per job of JOBS runs of /bin/true spawned and reaped one after another,
//       and of the same runs through the core on THREADS slots, in milliseconds.
#include "audio/result_check.h"
#include "foundation/os.h"
#include "planning/file_info.h"
#include "planning/job_planning.h"
#include "processor_time.h"
#include "run/core.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

void WaitUntilIdle(CCore& core)
{
    // Blocks without polling: a busy poller would take processor time from the programs (or,
    // with the scheduler's sleeper credit, win them more than their share).
    while (!core.WaitForWorkers(3600 * 1000)) {
    }
}

int Convert(int threads, const QString& outputFolder, const QString& decodeTemplate,
            const QString& encodeTemplate, const QStringList& files,
            const ResultOptions& options = {})
{
    PlannedDecoders decoders;
    decoders.push_back(std::make_unique<CDecoder>());
    decoders.back()->SetExecutable(QStandardPaths::findExecutable(u"flac"_s));
    decoders.back()->GetEntries().append({decodeTemplate, u"flac"_s, QString()});
    CCoder lame;
    lame.SetExecutable(QStandardPaths::findExecutable(u"lame"_s));
    lame.GetEntries().append({encodeTemplate, u"mp3"_s, u"V2"_s});

    std::vector<std::unique_ptr<CFileInfo>> records;
    CCore core;
    core.SetThreadsCount(threads);
    core.SetResultOptions(options);
    for (const QString& path : files) {
        auto record = std::make_unique<CFileInfo>();
        if (!record->Load(path) || !PrepareDecoder(*record, decoders, QString(), false) ||
            !AssignCoder(&lame, *record) || !PrepareCoder(*record, encodeTemplate, outputFolder)) {
            std::fprintf(stderr, "cannot plan %s\n", qPrintable(path));
            return 2;
        }
        record->decoder->SetShowWindow(false);
        record->coder->SetShowWindow(false);
        core.AddProcess(record->decoder.get());
        core.AddProcess(record->coder.get());
        records.push_back(std::move(record));
    }
    core.Start();
    WaitUntilIdle(core);
    const auto failed = core.GetFailedRuns();
    for (const RunResult& result : failed)
        std::fprintf(stderr, "failed: %s -> %s\n", qPrintable(result.inputFile),
                     qPrintable(result.outputFile));
    return failed.isEmpty() ? 0 : 1;
}

// Off and on alternate, so a change in the machine's load weighs on both alike; every round
// starts from empty output folders. `what` names the options that differ.
int Alternate(const char* what, const ResultOptions (&options)[2], double target, int threads,
              int rounds, const QString& outputFolder, const QString& decodeTemplate,
              const QString& encodeTemplate, const QStringList& files)
{
    double best[2] = {0.0, 0.0};
    double work[2] = {0.0, 0.0};
    QElapsedTimer timer;
    for (int round = 1; round <= rounds; ++round) {
        for (int on = 0; on < 2; ++on) {
            QDir folder(outputFolder + (on ? u"/on"_s : u"/off"_s));
            folder.removeRecursively();
            QDir().mkpath(folder.path());
            timer.start();
            const double processorBefore = ProcessorSeconds();
            if (const int failed = Convert(threads, folder.path() + u'/', decodeTemplate,
                                           encodeTemplate, files, options[on]))
                return failed;
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            const double processor = ProcessorSeconds() - processorBefore;
            work[on] += processor;
            std::printf("round %d  %s %-3s %7.2f s  (processor %.2f s)\n", round, what,
                        on ? "on" : "off", seconds, processor);
            if (best[on] == 0.0 || seconds < best[on])
                best[on] = seconds;
        }
    }
    std::printf("best of %d: off %.2f s, on %.2f s\non / off = %.3f (target: at most %.2f)\n",
                rounds, best[0], best[1], best[1] / best[0], target);
    std::printf("processor time on / off = %.3f (what the wall time comes to on a machine "
                "without idle processors)\n",
                work[1] / work[0]);
    return 0;
}

// Bare spawns and runs through the core alternate in batches, so a change in the machine's
// load weighs on both alike.
int Overhead(int jobs, int threads)
{
    constexpr int kBatches = 10;
    const int perBatch = std::max(jobs / kBatches, 1);
    std::vector<std::unique_ptr<CDecoder>> runs;
    for (int i = 0; i < perBatch; ++i) {
        runs.push_back(std::make_unique<CDecoder>());
        runs.back()->SetExecutable(u"/bin/true"_s);
        runs.back()->SetShowWindow(false);
    }
    CCore core;
    core.SetThreadsCount(threads);

    qint64 bareNs = 0;
    qint64 coreNs = 0;
    QElapsedTimer timer;
    for (int batch = 0; batch < kBatches; ++batch) {
        timer.start();
        for (int i = 0; i < perBatch; ++i) {
            const qint64 pid = os::SpawnProcess(u"/bin/true"_s, {}, false);
            if (pid <= 0 || !os::WaitForExitWithoutReaping(pid))
                return 2;
            os::ReapProcess(pid);
        }
        bareNs += timer.nsecsElapsed();

        for (const auto& run : runs)
            core.AddProcess(run.get());
        timer.start();
        core.Start();
        WaitUntilIdle(core);
        coreNs += timer.nsecsElapsed();
        if (!core.GetFailedRuns().isEmpty())
            return 1;
    }
    const double total = double(perBatch) * kBatches;
    std::printf("bare_spawn_ms_per_job %.3f\ncore_ms_per_job %.3f\n", double(bareNs) / 1e6 / total,
                double(coreNs) / 1e6 / total);
    return 0;
}

int CheckCost(const QStringList& files)
{
    constexpr int kRounds = 5;
    QElapsedTimer timer;
    timer.start();
    int failed = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (const QString& file : files)
            failed += CheckResult(file, StreamDurationMs(file)).Passed() ? 0 : 1;
    }
    std::printf("result check: %.3f ms per file (%lld files)\n",
                double(timer.nsecsElapsed()) / 1e6 / double(kRounds * files.size()),
                static_cast<long long>(files.size()));
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 7 && args[1] == u"convert"_s)
        return Convert(args[2].toInt(), args[3], args[4], args[5], args.mid(6));
    if (args.size() >= 8 && args[1] == u"results"_s) {
        const ResultOptions options[2] = {{false, false}, {true, true}};
        return Alternate("tags and hidden outputs", options, 1.03, args[2].toInt(), args[3].toInt(),
                         args[4], args[5], args[6], args.mid(7));
    }
    if (args.size() >= 8 && args[1] == u"check"_s) {
        const ResultOptions options[2] = {{true, true, ReplayGainMode::Off, false},
                                          {true, true, ReplayGainMode::Off, true}};
        return Alternate("result check", options, 1.02, args[2].toInt(), args[3].toInt(), args[4],
                         args[5], args[6], args.mid(7));
    }
    if (args.size() >= 8 && args[1] == u"replaygain"_s) {
        const ResultOptions options[2] = {{true, true, ReplayGainMode::Off},
                                          {true, true, ReplayGainMode::TrackAndAlbum}};
        return Alternate("ReplayGain values", options, 1.03, args[2].toInt(), args[3].toInt(),
                         args[4], args[5], args[6], args.mid(7));
    }
    if (args.size() >= 3 && args[1] == u"checkcost"_s)
        return CheckCost(args.mid(2));
    if (args.size() == 4 && args[1] == u"overhead"_s)
        return Overhead(args[2].toInt(), args[3].toInt());
    std::fprintf(stderr,
                 "usage: %s convert THREADS OUT DECODE ENCODE FILE... | results|check|replaygain "
                 "THREADS ROUNDS OUT DECODE ENCODE FILE... | overhead JOBS THREADS\n",
                 argv[0]);
    return 2;
}
