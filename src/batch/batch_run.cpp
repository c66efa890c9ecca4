#include "batch/batch_run.h"

#include "batch/shell_line.h"
#include "filelist/folder_walk.h"
#include "foundation/command_line.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "planning/job_order.h"
#include "planning/job_planning.h"
#include "planning/output_tree.h"
#include "planning/planned_jobs.h"
#include "report/run_report.h"
#include "report/time_estimate.h"
#include "tags/replay_gain.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPollMs = 200;
constexpr int kBarWidth = 30;
constexpr char16_t kDatabaseName[] = u"Base.xml";

QString InFolder(const QString& folder, const QString& name)
{
    return folder + os::kPathSeparator + name;
}

// The files' runs that ended; a file is done once each of its runs has a result.
struct FileOutcome
{
    bool done = false;
    bool failed = false;
    bool stopped = false; // not converted, and no failure either
};

FileOutcome OutcomeOf(CFileInfo& file, const QHash<const IProcess*, RunResult>& ended)
{
    FileOutcome outcome{true, false, false};
    for (IProcess* run :
         {static_cast<IProcess*>(file.decoder.get()), static_cast<IProcess*>(file.coder.get())}) {
        if (run == nullptr)
            continue;
        const auto found = ended.constFind(run);
        // A result held for its album's values is not at its name yet, and may still fail.
        if (found == ended.cend() || found->held)
            outcome.done = false;
        else if (found->Failed())
            outcome.failed = true;
        else if (found->outcome == RunResult::Outcome::Stopped)
            outcome.stopped = true;
    }
    return outcome;
}

QString LeftOutText(LeftOutReason reason)
{
    switch (reason) {
    case LeftOutReason::OwnInput:
        return u"its result would replace its own source"_s;
    case LeftOutReason::OtherSource:
        return u"its result would replace the source of another file"_s;
    case LeftOutReason::SharedOutput:
        return u"an earlier file writes the same result"_s;
    case LeftOutReason::None:
        break;
    }
    return {};
}

QString FinalOutputOf(CFileInfo& file)
{
    return file.coder ? file.coder->GetOutputFile() : file.decoder->GetOutputFile();
}

QString SignalName(int signal)
{
    switch (signal) {
    case SIGHUP:
        return u"SIGHUP"_s;
    case SIGINT:
        return u"SIGINT"_s;
    case SIGTERM:
        return u"SIGTERM"_s;
    default:
        return u"signal %1"_s.arg(signal);
    }
}

// A value of a --jobs line: escaped so that it stands on one line, then quoted for the shell.
QString JobValue(const QString& value)
{
    return ShellQuote(JobLineEscape(value));
}

} // namespace

CBatchRun::CBatchRun(QTextStream& output, QTextStream& errors)
    : out(output), err(errors), terminal(os::StandardErrorIsTerminal())
{
}

int CBatchRun::Run(const CBatchOptions& options)
{
    programFolder = QDir(options.programFolder).absolutePath();
    oneJob = options.job;
    if (oneJob)
        terminal = false;
    if (!LoadProgramFolder(programFolder))
        return kBadArguments;
    if (options.listCoders) {
        ListCoders();
        return kAllConverted;
    }
    if (options.replayGain >= 0) {
        settings.general.replayGain = options.replayGain > 0 ? 1 : 0;
        settings.general.replayGainAlbum = options.replayGain == 2 ? 1 : 0;
    }
    // One file is no album: a --jobs line writes track values only.
    if (oneJob)
        settings.general.replayGainAlbum = 0;
    QString outputFolder;
    if (!SelectCoder(options) || !ResolveOutputFolder(options, outputFolder) ||
        !SelectNaming(options) || !AddInputs(options.inputs))
        return kBadArguments;
    if (const int signal = os::CaughtStopSignal(); signal != 0) {
        PrintSummary(0, signal);
        return ExitStatus(signal);
    }

    const QList<CFileInfo*> runnable = LeaveOut(Plan(options, outputFolder), options.overwrite);
    const bool longFirst = options.longFilesFirst >= 0 ? options.longFilesFirst != 0
                                                       : settings.general.startLongFilesFirst != 0;
    const QList<CFileInfo*> ordered = OrderForStart(runnable, longFirst);
    if (options.dryRun || options.jobs) {
        if (options.dryRun)
            PrintCommandLines(ordered);
        else
            PrintShellLines(ordered, options);
        out.flush();
        if (options.jobs)
            err << ordered.size() << " job lines, " << tally.leftOut << " left out, "
                << tally.upToDate << " up to date, " << tally.notAudio << " not audio\n";
        return ExitStatus(0);
    }
    const int threads = options.threads > 0 ? options.threads : settings.core.threadsCount;
    return Convert(ordered, oneJob ? 1 : threads);
}

bool CBatchRun::LoadProgramFolder(const QString& folder)
{
    // Read as the window reads it, never written: the desktop program owns this file.
    if (settings.LoadFromProgramFolder(folder) == CSettingsSet::LoadResult::Failed) {
        err << "orvel-batch: " << CSettingsSet::FilePath(folder) << " could not be read\n";
        return false;
    }
    const QString databasePath = InFolder(folder, QString::fromUtf16(kDatabaseName));
    if (!LoadDatabase(database, databasePath)) {
        err << "orvel-batch: the database " << databasePath << " failed to load\n";
        return false;
    }
    DiscoverCodecs(folder, database, coders, decoders, settings.database.findByFileName == 1,
                   QString::fromUtf16(kDecodeOnlyName));
    return true;
}

void CBatchRun::ListCoders()
{
    for (const auto& listed : coders) {
        out << listed->GetName() << '\n';
        for (const CodecEntry& entry : listed->GetEntries())
            out << "    " << entry.name << '\n';
    }
    out.flush();
}

bool CBatchRun::SelectCoder(const CBatchOptions& options)
{
    int index = -1;
    if (options.coder.isEmpty()) {
        index = qBound(0, settings.coderIndex, int(coders.size()) - 1);
    } else {
        for (int i = 0; i < int(coders.size()) && index < 0; ++i) {
            if (coders[size_t(i)]->GetName() == options.coder)
                index = i;
        }
    }
    if (index < 0) {
        err << "orvel-batch: no coder named \"" << options.coder << "\" (see --list-coders)\n";
        return false;
    }
    coder = coders[size_t(index)].get();
    const QList<CodecEntry>& presets = coder->GetEntries();
    const bool isDecodeOnly = index == int(coders.size()) - 1;
    if (isDecodeOnly)
        return true;
    if (options.preset.isEmpty()) {
        presetIndex =
            options.coder.isEmpty() ? qBound(0, settings.presetIndex, int(presets.size()) - 1) : 0;
    } else {
        for (int i = 0; i < presets.size() && presetIndex < 0; ++i) {
            if (presets[i].name == options.preset)
                presetIndex = i;
        }
    }
    if (presetIndex < 0 || presetIndex >= presets.size()) {
        err << "orvel-batch: \"" << coder->GetName() << "\" has no preset named \""
            << options.preset << "\" (see --list-coders)\n";
        return false;
    }
    return true;
}

bool CBatchRun::AddInputs(const QStringList& inputs)
{
    const ReadProgress progress = [this](qsizetype done, qsizetype total) {
        if (terminal)
            err << "\rReading " << done << " of " << total << " files" << Qt::flush;
        return os::CaughtStopSignal() == 0;
    };
    // Files named one by one (a shell's glob) are read together, as a folder's are: on all
    // cores, and with the properties cache asked once.
    QStringList pending;
    const auto addPending = [&] {
        QStringList notOpened;
        files.AddPaths(pending, pending.size() > 1 ? progress : ReadProgress(), &notOpened);
        for (const QString& path : std::as_const(notOpened))
            Report(path, u"cannot be read"_s);
        if (terminal && pending.size() > 1)
            err << '\n';
        pending.clear();
    };
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        const QString path = info.absoluteFilePath();
        if (info.isDir()) {
            addPending();
            AddFolder(path, progress);
        } else if (!info.exists() && !info.isSymLink()) {
            err << "orvel-batch: no such file or folder: " << input << '\n';
            return false;
        } else {
            pending << FoldDoubledSeparators(path);
        }
    }
    addPending();
    return true;
}

void CBatchRun::AddFolder(const QString& folder, const ReadProgress& progress)
{
    const FolderWalk walk = WalkFolder(folder, [] { return os::CaughtStopSignal() == 0; });
    for (const FolderWalk::Passed& passed : walk.notRead)
        Report(passed.path, passed.reason);
    for (const QString& hidden : walk.hiddenFolders)
        err << "not read: " << hidden << ": a hidden folder\n";
    QStringList paths = walk.files;
    for (QString& path : paths)
        path = FoldDoubledSeparators(path);
    const qsizetype before = files.Count();
    QStringList notOpened;
    files.AddPaths(paths, progress, &notOpened);
    for (qsizetype i = before; i < files.Count(); ++i)
        foundInFolders.insert(files.At(i));
    for (const QString& path : std::as_const(notOpened))
        Report(path, u"cannot be read"_s);
    if (terminal)
        err << '\n';
}

bool CBatchRun::ResolveOutputFolder(const CBatchOptions& options, QString& folder)
{
    folder.clear();
    if (!options.output.isEmpty()) {
        folder = QDir(options.output).absolutePath();
        AddBackslash(folder);
        return true;
    }
    if (options.besideSource)
        return true;
    if (settings.general.IsOutputFolderMissing()) {
        err << "orvel-batch: Settings.ini names no output folder and results are not to go "
               "beside their sources: give --output or --beside-source\n";
        return false;
    }
    folder = settings.general.ResultFolder(programFolder);
    return true;
}

bool CBatchRun::SelectNaming(const CBatchOptions& options)
{
    naming = {};
    naming.fatSafe =
        options.fatSafeNames >= 0 ? options.fatSafeNames != 0 : settings.general.fatSafeNames != 0;
    if (!options.resultName.isEmpty()) {
        naming.fixedName = options.resultName;
        return true;
    }
    const QString text =
        options.namePatternGiven ? options.namePattern : settings.general.namePattern;
    naming.pattern = CNamePattern(text);
    const bool numbered = options.numberShared >= 0 ? options.numberShared != 0
                                                    : settings.general.numberSharedNames != 0;
    naming.numberedAgainst = numbered ? &takenNames : nullptr;
    if (naming.pattern.IsValid())
        return true;
    err << "orvel-batch: the name pattern " << (options.namePatternGiven ? "" : "of Settings.ini ")
        << "is not valid: " << naming.pattern.Error() << '\n';
    return false;
}

QList<CFileInfo*> CBatchRun::Plan(const CBatchOptions& options, const QString& outputFolder)
{
    const bool keep = options.keepFolders >= 0 ? options.keepFolders != 0
                                               : settings.general.keepFolderStructure != 0;
    QString commonFolder;
    if (keep && !outputFolder.isEmpty()) {
        QStringList paths;
        for (qsizetype i = 0; i < files.Count(); ++i)
            paths << files.At(i)->path;
        commonFolder = DeepestCommonFolder(paths);
    }

    const bool decodeOnly = coder == coders.back().get();
    // Job lines may run on other machines, whose runtime folders are not ours.
    if (!decodeOnly && !options.jobs) {
        QList<const CFileInfo*> all;
        for (qsizetype i = 0; i < files.Count(); ++i)
            all << files.At(i);
        ChooseTempFolder(all, options.threads > 0 ? options.threads : settings.core.threadsCount);
    }
    QList<CFileInfo*> planned;
    for (qsizetype i = 0; i < files.Count(); ++i) {
        CFileInfo& file = *files.At(i);
        const QString folder = commonFolder.isEmpty()
                                   ? outputFolder
                                   : MirroredOutputFolder(outputFolder, commonFolder, file.folder);
        if (!PlanFile(file, decoders, decodeOnly ? nullptr : coder, presetIndex, folder, decodeOnly,
                      settings.general.directInput != 0 &&
                          !LoudnessNeedsDecodedAudio(ReplayGainModeOf(
                              settings.general.replayGain, settings.general.replayGainAlbum)),
                      naming) ||
            (!file.coder && !file.decoder)) {
            // Covers, playlists and notes beside the music are no sources.
            if (foundInFolders.contains(&file)) {
                ++tally.notAudio;
                continue;
            }
            Report(file.path, u"no decoder reads this file (%1)"_s.arg(file.format));
            continue;
        }
        planned << &file;
    }
    return planned;
}

QList<CFileInfo*> CBatchRun::LeaveOut(const QList<CFileInfo*>& planned, bool overwrite)
{
    // The desktop program's rules, applied in list order as it applies them; --overwrite
    // neither skips results that are up to date nor spares existing files.
    QList<PlannedJob> jobs;
    for (const CFileInfo* file : planned)
        jobs << JobOf(*file);
    const StartSorting sorting =
        SortJobsForStart(jobs, {}, !overwrite && settings.general.skipUpToDate != 0);
    for (qsizetype index : sorting.leftOut)
        Report(planned[index]->path, LeftOutText(sorting.reasons[index]));
    tally.upToDate += int(sorting.upToDate.size());
    if (!overwrite) {
        for (qsizetype index : sorting.replacing)
            Report(planned[index]->path, u"its result exists already (--overwrite replaces it)"_s);
    }
    const QSet<qsizetype> notRun = sorting.NotRun(overwrite);
    QList<CFileInfo*> runnable;
    for (qsizetype i = 0; i < planned.size(); ++i) {
        if (!notRun.contains(i))
            runnable << planned[i];
    }
    return runnable;
}

void CBatchRun::Report(const QString& path, const QString& reason)
{
    err << "left out: " << path << ": " << reason << '\n';
    ++tally.leftOut;
}

void CBatchRun::PrintCommandLines(const QList<CFileInfo*>& planned)
{
    for (CFileInfo* file : planned) {
        for (IProcess* run : {static_cast<IProcess*>(file->decoder.get()),
                              static_cast<IProcess*>(file->coder.get())}) {
            if (run != nullptr)
                out << QuoteArgument(run->GetExecutable()) << ' ' << run->GetParameters() << '\n';
        }
    }
}

void CBatchRun::PrintShellLines(const QList<CFileInfo*>& planned, const CBatchOptions& options)
{
    for (CFileInfo* file : planned)
        out << JobLine(*file, options) << '\n';
}

// Each line is orvel-batch itself converting one file, so that a line does all a local run
// does: hidden result then rename, tags, the result check, cleanup on every exit and signal.
// Every value is escaped to stand on one line whatever the name holds, then quoted for the
// shell: GNU parallel runs each line as a command, and sh or bash may read many.
QString CBatchRun::JobLine(CFileInfo& file, const CBatchOptions& options) const
{
    QString resultFolder = FinalOutputOf(file);
    RemoveFileSpec(resultFolder);
    QStringList words{ShellQuote(QCoreApplication::applicationFilePath()),
                      u"--job"_s,
                      u"--program-folder"_s,
                      JobValue(programFolder),
                      u"--coder"_s,
                      JobValue(coder->GetName())};
    if (presetIndex >= 0)
        words << u"--preset"_s << JobValue(coder->GetEntries()[presetIndex].name);
    words << u"--output"_s << JobValue(resultFolder) << u"--flat"_s;
    // As this call would measure: one file is no album, so a line writes track values at most.
    const bool gains =
        options.replayGain >= 0 ? options.replayGain > 0 : settings.general.replayGain != 0;
    words << u"--replaygain"_s << (gains ? u"track"_s : u"off"_s);
    // The name the whole batch gave the result, as it is: the line needs no tags read again.
    if (!naming.pattern.IsEmpty() || !settings.general.namePattern.isEmpty())
        words << u"--result-name"_s << JobValue(FileNamePart(FinalOutputOf(file)));
    if (options.overwrite)
        words << u"--overwrite"_s;
    words << u"--"_s << JobValue(file.path);
    return words.join(u' ');
}

int CBatchRun::Convert(const QList<CFileInfo*>& planned, int threads)
{
    QString failedFolder;
    if (!CreateOutputFolders(planned, &failedFolder))
        err << "orvel-batch: cannot create the folder " << failedFolder << '\n';
    // The programs' own screens would garble the progress and the report.
    for (CFileInfo* file : planned) {
        for (IProcess* run : {static_cast<IProcess*>(file->decoder.get()),
                              static_cast<IProcess*>(file->coder.get())}) {
            if (run != nullptr)
                run->SetShowWindow(false);
        }
    }
    core.SetThreadsCount(threads);
    core.SetResultOptions(
        {settings.general.copyTags != 0, settings.general.atomicOutputs != 0,
         ReplayGainModeOf(settings.general.replayGain, settings.general.replayGainAlbum)});
    QueueFiles(core, planned);
    QElapsedTimer clock;
    clock.start();
    if (core.GetTotalCount() > 0)
        core.Start();

    QSet<const CFileInfo*> reported;
    const auto reportEnded = [&] {
        const QList<RunResult> results = core.GetRunResults();
        QHash<const IProcess*, RunResult> ended;
        for (const RunResult& run : results)
            ended.insert(run.process, run);
        for (CFileInfo* file : planned) {
            const FileOutcome outcome = OutcomeOf(*file, ended);
            if (!outcome.done || outcome.stopped || reported.contains(file))
                continue;
            reported.insert(file);
            ReportEnded(*file, outcome.failed, results);
        }
        return results;
    };
    int stopSignal = 0;
    for (bool running = true; running;) {
        if (const int signal = os::CaughtStopSignal(); signal != 0 && stopSignal == 0) {
            // As Stop in the window: programs ended, hidden results and WAVs removed.
            stopSignal = signal;
            core.Stop();
        }
        running = core.IsRunning();
        ShowProgress(planned, clock.elapsed(), reportEnded());
        out.flush();
        // Wakes as soon as the last run ends, so that the summary does not wait for a tick.
        if (running)
            core.WaitForWorkers(kPollMs);
    }
    // After a stop the workers are still recording how their runs ended.
    core.WaitForWorkers(10000);
    reportEnded();
    tally.stopped = int(planned.size() - reported.size());
    if (terminal)
        err << "\r\033[K" << Qt::flush;
    PrintSummary(clock.elapsed(), stopSignal);
    return ExitStatus(stopSignal);
}

void CBatchRun::ReportEnded(CFileInfo& file, bool failed, const QList<RunResult>& ended)
{
    if (terminal)
        err << "\r\033[K";
    if (!failed) {
        ++tally.converted;
        if (!terminal)
            out << "converted: " << file.path << " -> " << FinalOutputOf(file) << '\n';
        // What the result lacks (tags, ReplayGain values) though its audio is whole.
        for (const RunResult& run : ended) {
            if (run.process == file.coder.get() && !run.tagError.isEmpty())
                err << "warning: " << file.path << ": " << run.tagError << '\n';
        }
        return;
    }
    ++tally.failed;
    for (const RunResult& run : ended) {
        if (!run.Failed() || (run.process != file.coder.get() && run.process != file.decoder.get()))
            continue;
        err << "FAILED: " << RunReport::Failure(run, file.path, englishTexts) << '\n';
        // A --jobs line shows what the program said only when it failed.
        if (oneJob && !run.errorOutput.isEmpty())
            err << run.errorOutput << '\n';
    }
}

void CBatchRun::PrintSummary(qint64 elapsedMs, int stopSignal)
{
    if (stopSignal != 0)
        out << "stopped by " << SignalName(stopSignal) << ": ";
    if (oneJob && stopSignal == 0)
        return;
    out << tally.converted << " converted, " << tally.failed << " failed, " << tally.leftOut
        << " left out, " << tally.upToDate << " up to date, " << tally.notAudio << " not audio";
    if (tally.stopped > 0)
        out << ", " << tally.stopped << " not converted";
    out << ", in " << FormatDuration(elapsedMs) << '\n';
    out.flush();
}

int CBatchRun::ExitStatus(int stopSignal) const
{
    if (stopSignal != 0)
        return 128 + stopSignal;
    return tally.failed + tally.leftOut > 0 ? kSomeFailed : kAllConverted;
}

void CBatchRun::ShowProgress(const QList<CFileInfo*>& planned, qint64 elapsedMs,
                             const QList<RunResult>& results)
{
    if (!terminal)
        return;
    const AudioProgress progress = MeasureAudioProgress(planned, results);
    const double share =
        progress.totalMs > 0 ? double(progress.doneMs) / double(progress.totalMs) : 1.0;
    const int filled = qBound(0, int(share * kBarWidth), kBarWidth);
    err << "\r[" << QString(filled, u'#') << QString(kBarWidth - filled, u'.') << "] "
        << int(share * 100.0) << "%  "
        << TimeStatusText(u"elapsed"_s, u"left"_s, u"estimating"_s, elapsedMs, progress)
        << Qt::flush;
}
