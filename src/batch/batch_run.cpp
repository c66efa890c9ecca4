#include "batch/batch_run.h"

#include "batch/shell_line.h"
#include "engine/command_line.h"
#include "engine/job_order.h"
#include "engine/job_planning.h"
#include "engine/output_tree.h"
#include "engine/planned_jobs.h"
#include "engine/run_report.h"
#include "engine/time_estimate.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>

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
};

FileOutcome OutcomeOf(CFileInfo& file, const QHash<const IProcess*, RunResult>& ended)
{
    FileOutcome outcome{true, false};
    for (IProcess* run :
         {static_cast<IProcess*>(file.decoder.get()), static_cast<IProcess*>(file.coder.get())}) {
        if (run == nullptr)
            continue;
        const auto found = ended.constFind(run);
        if (found == ended.cend())
            outcome.done = false;
        else if (found->Failed())
            outcome.failed = true;
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

} // namespace

CBatchRun::CBatchRun(QTextStream& output, QTextStream& errors)
    : out(output), err(errors), terminal(os::StandardErrorIsTerminal())
{
}

int CBatchRun::Run(const CBatchOptions& options)
{
    if (!LoadProgramFolder(options.programFolder))
        return kBadArguments;
    if (options.listCoders) {
        ListCoders();
        return kAllConverted;
    }
    if (!SelectCoder(options) || !AddInputs(options.inputs))
        return kBadArguments;

    const QList<CFileInfo*> runnable = LeaveOut(Plan(options), options.overwrite);
    const bool longFirst = options.longFilesFirst >= 0 ? options.longFilesFirst != 0
                                                       : settings.general.startLongFilesFirst != 0;
    const QList<CFileInfo*> ordered = OrderForStart(runnable, longFirst);
    if (options.dryRun || options.jobs) {
        if (options.dryRun)
            PrintCommandLines(ordered);
        else
            PrintShellLines(ordered);
        out.flush();
        return leftOutCount > 0 ? kSomeFailed : kAllConverted;
    }
    const int threads = options.threads > 0 ? options.threads : settings.core.threadsCount;
    return Convert(ordered, threads);
}

bool CBatchRun::LoadProgramFolder(const QString& folder)
{
    // Read, never written: the desktop program owns this file.
    const QString settingsPath = CSettingsSet::FilePath(folder);
    if (QFileInfo::exists(settingsPath)) {
        if (!settings.LoadFromFile(settingsPath)) {
            err << "orvel-batch: " << settingsPath << " could not be read\n";
            return false;
        }
    } else {
        settings.core.threadsCount = os::ProcessorCount();
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
        return true;
    };
    // Files named one by one (a shell's glob) are read together, as a folder's are: on all
    // cores, and with the properties cache asked once.
    QStringList pending;
    QStringList pendingInputs;
    const auto addPending = [&] {
        const qsizetype before = files.Count();
        files.AddPaths(pending, pending.size() > 1 ? progress : ReadProgress());
        qsizetype next = before;
        for (qsizetype i = 0; i < pending.size(); ++i) {
            if (next < files.Count() && files.At(next)->path == pending[i]) {
                ++next;
                continue;
            }
            err << "cannot be read, left out: " << pendingInputs[i] << '\n';
            ++leftOutCount;
        }
        if (terminal && pending.size() > 1)
            err << '\n';
        pending.clear();
        pendingInputs.clear();
    };
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        const QString path = info.absoluteFilePath();
        if (info.isDir()) {
            addPending();
            const qsizetype before = files.Count();
            files.AddFolder(path, true, progress);
            for (qsizetype i = before; i < files.Count(); ++i)
                foundInFolders.insert(files.At(i));
            if (terminal)
                err << '\n';
        } else if (!info.exists()) {
            err << "orvel-batch: no such file or folder: " << input << '\n';
            return false;
        } else {
            pending << FoldDoubledSeparators(path);
            pendingInputs << input;
        }
    }
    addPending();
    return true;
}

QList<CFileInfo*> CBatchRun::Plan(const CBatchOptions& options)
{
    QString outputFolder;
    if (!options.output.isEmpty()) {
        outputFolder = QDir(options.output).absolutePath();
    } else if (!options.besideSource && settings.general.outputFolderSameAsOriginal == 0) {
        outputFolder = settings.general.outputFolder;
    }
    if (!outputFolder.isEmpty())
        AddBackslash(outputFolder);
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
                      settings.general.directInput != 0) ||
            (!file.coder && !file.decoder)) {
            // Covers, playlists and notes beside the music are no sources.
            if (foundInFolders.contains(&file)) {
                ++skippedCount;
                continue;
            }
            err << "no decoder for this file, left out: " << file.path << " (" << file.format
                << ")\n";
            ++leftOutCount;
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
        Report(*planned[index], LeftOutText(sorting.reasons[index]));
    upToDateCount += int(sorting.upToDate.size());
    if (!overwrite) {
        for (qsizetype index : sorting.replacing)
            Report(*planned[index], u"its result exists already (--overwrite replaces it)"_s);
    }
    const QSet<qsizetype> notRun = sorting.NotRun(overwrite);
    QList<CFileInfo*> runnable;
    for (qsizetype i = 0; i < planned.size(); ++i) {
        if (!notRun.contains(i))
            runnable << planned[i];
    }
    return runnable;
}

void CBatchRun::Report(const CFileInfo& file, const QString& reason)
{
    err << "left out: " << file.path << ": " << reason << '\n';
    ++leftOutCount;
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

void CBatchRun::PrintShellLines(const QList<CFileInfo*>& planned)
{
    for (CFileInfo* file : planned)
        out << JobShellLine(*file) << '\n';
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
    core.SetResultOptions({settings.general.copyTags != 0, settings.general.atomicOutputs != 0});
    QueueFiles(core, planned);
    QElapsedTimer clock;
    clock.start();
    if (core.GetTotalCount() > 0)
        core.Start();

    QSet<const CFileInfo*> reported;
    int converted = 0;
    int failed = 0;
    for (bool running = true; running;) {
        running = core.IsRunning();
        const QList<RunResult> results = core.GetRunResults();
        QHash<const IProcess*, RunResult> ended;
        for (const RunResult& run : results)
            ended.insert(run.process, run);
        for (CFileInfo* file : planned) {
            const FileOutcome outcome = OutcomeOf(*file, ended);
            if (!outcome.done || reported.contains(file))
                continue;
            reported.insert(file);
            if (terminal)
                err << "\r\033[K";
            if (!outcome.failed) {
                ++converted;
                if (!terminal)
                    out << "converted: " << file->path << " -> " << FinalOutputOf(*file) << '\n';
                continue;
            }
            ++failed;
            for (const RunResult& run : ended) {
                if (run.Failed() &&
                    (run.process == file->coder.get() || run.process == file->decoder.get()))
                    err << "FAILED: " << RunReport::Failure(run, file->path, englishTexts) << '\n';
            }
        }
        ShowProgress(planned, clock.elapsed(), results);
        out.flush();
        // Wakes as soon as the last run ends, so that the summary does not wait for a tick.
        if (running)
            core.WaitForWorkers(kPollMs);
    }
    core.WaitForWorkers(10000);
    if (terminal)
        err << "\r\033[K" << Qt::flush;
    out << converted << " converted, " << failed << " failed, " << leftOutCount << " left out, in "
        << FormatDuration(clock.elapsed());
    if (upToDateCount > 0)
        out << ", " << upToDateCount << " skipped: their results are up to date";
    if (skippedCount > 0)
        out << " (" << skippedCount << " files in the folders are no audio any decoder reads)";
    out << '\n';
    out.flush();
    return failed + leftOutCount > 0 ? kSomeFailed : kAllConverted;
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
